// FolderBar: the folder bar of the main window, a Qt widget over a FolderBarModel. It shows
// the caption "Folder List" above the items, draws headings (indent 0) as group bars and
// folders (indent 1) and sub-folders (indent 2) as indented rows with small icons, keeps the
// list's current row and the model's current item together, and emits ItemClick when the user
// clicks an item or presses Enter on it.
#pragma once

#include <QListWidget>
#include <QMetaType>
#include <QWidget>

#include "folders/folder_bar_model.h"

class QLabel;

namespace folders {

class FolderBar : public QWidget {
    Q_OBJECT
public:
    explicit FolderBar(QWidget* parent = nullptr);

    // The items shown; changes to it are drawn at once. Owned by the bar.
    FolderBarModel& Model() { return m_model; }
    const FolderBarModel& Model() const { return m_model; }

    // Marks the item with that key selected and opens it as a click would (emits ItemClick).
    // False, and nothing emitted, when no item has that key.
    bool SelectItem(const std::string& key);

    // The caption above the items ("Folder List").
    QString Caption() const;
    // The list that draws the items (for tests and for the window's focus handling).
    QListWidget* List() const { return m_list; }

signals:
    // A click on an item (or Enter on the current one); the item as it is at that moment.
    void ItemClick(const folders::FolderBarItem& item);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool SameRows() const;
    void Rebuild();
    void OnRowActivated(int row);

    FolderBarModel m_model;
    QLabel* m_caption = nullptr;
    QListWidget* m_list = nullptr;
    bool m_rebuilding = false;
};

}  // namespace folders

Q_DECLARE_METATYPE(folders::FolderBarItem)
