// frmHelp: the program's help window. It shows the help book (help_book.h) in a text
// browser with Back, Forward and Contents, a list of the book's pages and a search box that
// narrows the list to the pages holding every word typed. There is one help window for the
// program; F1 in any window opens it at the topic of that window's help context
// (HelpWindow::Open, called by the Qt user-interface seam). The layout is in help_window.ui.
// User-interface thread only.
#pragma once

#include <memory>

#include <QString>
#include <QWidget>

namespace Ui {
class frmHelp;
}  // namespace Ui

class QListWidgetItem;

namespace help {

class frmHelp : public QWidget {
    Q_OBJECT
public:
    // folder: the help book's folder (help::BookFolder()).
    explicit frmHelp(QString folder, QWidget* parent = nullptr);
    ~frmHelp() override;

    // Shows the page of the book (a file name such as "sort.html").
    void ShowTopic(const QString& file);
    // The file name of the page shown, e.g. "main_window.html".
    QString CurrentTopic() const;
    const QString& Folder() const { return m_folder; }

private:
    void FillTopics(const QString& query);
    void TopicChosen(QListWidgetItem* item);

    std::unique_ptr<Ui::frmHelp> m_ui;
    QString m_folder;
};

// Opens the one help window at the page of context (shown and raised), made when needed over
// the book found by BookFolder(appFolder); a window open from within a modal dialog is made
// that dialog's child so that it takes input. Returns the window, or nullptr when no help
// book is installed.
frmHelp* Open(int context, const QString& appFolder = {});

// The help window now open, or nullptr.
frmHelp* Current();

}  // namespace help
