#include "app/help_book.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "common/process.h"

namespace help {
namespace {

struct ContextPage {
    int context;
    const char* file;
};

constexpr ContextPage kContextPages[] = {
    {1910, "main_window.html"}, {780, "password.html"},    {770, "find.html"},
    {750, "summary.html"},      {740, "format_view.html"}, {730, "group_by.html"},
    {720, "sort.html"},         {710, "fields.html"},      {1920, "restoring.html"},
};

constexpr const char* kIndex = "index.html";

bool HoldsBook(const QString& folder) { return !folder.isEmpty() && QFileInfo::exists(folder + "/" + kIndex); }

// The page's text without its markup.
QString PlainText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QString text = QString::fromUtf8(file.readAll());
    text.remove(QRegularExpression("<[^>]*>"));
    return text.replace("&lt;", "<").replace("&gt;", ">").replace("&amp;", "&");
}

}  // namespace

QString TopicFile(int context) {
    for (const ContextPage& page : kContextPages)
        if (page.context == context) return page.file;
    return kIndex;
}

std::vector<int> KnownContexts() {
    std::vector<int> contexts;
    for (const ContextPage& page : kContextPages) contexts.push_back(page.context);
    return contexts;
}

const std::vector<Topic>& Contents() {
    static const std::vector<Topic> contents = {
        {kIndex, "Contents"},
        {"main_window.html", "What Archive does: the main window"},
        {"archiving.html", "Archiving patients"},
        {"preflight.html", "The pre-flight sheet"},
        {"stopping.html", "Stopping a run"},
        {"restoring.html", "Restoring archived patients"},
        {"password.html", "The delete password"},
        {"find.html", "The find dialog"},
        {"fields.html", "Fields (field chooser)"},
        {"sort.html", "Sort"},
        {"group_by.html", "Group by"},
        {"format_view.html", "Format view"},
        {"summary.html", "View summary"},
        {"batch.html", "Batch mode"},
        {"packing.html", "Packing the databases"},
        {"errors.html", "What to do after an error"},
    };
    return contents;
}

QString BookFolder(const QString& appFolder) {
    const QString program = QString::fromStdString(common::ProgramFolder());
    QStringList candidates;
    if (!appFolder.isEmpty()) candidates << appFolder + "/help";
    candidates << program + "/../share/archive/help" << program + "/help";
#ifdef ARCHIVE_HELP_SOURCE_DIR
    candidates << ARCHIVE_HELP_SOURCE_DIR;
#endif
    for (const QString& folder : candidates)
        if (HoldsBook(folder)) return QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    return {};
}

std::vector<Topic> Search(const QString& folder, const QString& query) {
    const QStringList words = query.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
    std::vector<Topic> found;
    if (words.isEmpty()) return found;
    for (const Topic& topic : Contents()) {
        const QString text = PlainText(folder + "/" + topic.file);
        bool all = !text.isEmpty();
        for (const QString& word : words) all = all && text.contains(word, Qt::CaseInsensitive);
        if (all) found.push_back(topic);
    }
    return found;
}

}  // namespace help
