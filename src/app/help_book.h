// The help book: our own help pages for practice staff, HTML files in a folder installed
// beside the program (share/archive/help under the install prefix). This module knows the
// pages: the topic of each help context the program's windows set, the table of contents,
// where the folder is, and a plain search over the pages' text. The help window
// (help_window.h) shows them. Qt Core only.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace help {

struct Topic {
    QString file;   // page file name in the help folder, e.g. "archiving.html"
    QString title;  // as the contents list shows it
};

// The page that belongs to a help context (1910 main window, 780 password, 770 find,
// 750 view summary, 740 table and card format, 730 group by, 720 sort, 710 field chooser,
// 1920 the restore dialog);
// the contents page for a context without a page of its own.
QString TopicFile(int context);

// The help contexts the program's windows set.
std::vector<int> KnownContexts();

// Every page of the book, in contents order (the contents page first).
const std::vector<Topic>& Contents();

// The folder that holds the book: the first of appFolder + "/help", the install prefix's
// share/archive/help beside the program's folder, the program's folder + "/help", and the
// source tree's help folder (builds run in place) that holds index.html. Empty when none does.
QString BookFolder(const QString& appFolder = {});

// The pages of folder whose text holds every word of query (case-insensitive), in contents
// order.
std::vector<Topic> Search(const QString& folder, const QString& query);

}  // namespace help
