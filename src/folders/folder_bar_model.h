// FolderBarModel: the items of the main window's folder bar, in order, without any drawing.
// Each item has a key, a caption, an image key, an indent (0 heading, 1 folder, 2 sub-folder),
// a 1-based position and a style number. The bar has a current item (the last one inserted, or
// the one the user moved to) and a selected item (the folder that is open). The widget in
// folders/folder_bar.h draws a model and turns clicks into item-click signals. No Qt.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace folders {

struct FolderBarItem {
    std::string Key;
    std::string Caption;
    std::string ImageKey;
    int Indent = 0;
    int Position = 0;  // 1-based, kept up to date by the model
    int Style = 0;
};

class FolderBarModel {
public:
    int Count() const { return static_cast<int>(m_items.size()); }
    const std::vector<FolderBarItem>& Items() const { return m_items; }
    // The item at a 1-based position; throws std::out_of_range for any other position.
    const FolderBarItem& Item(int position) const;
    // Position of the first item with that key, 0 when there is none.
    int Find(const std::string& key) const;

    // Appends an item and makes it current; returns its position.
    int Add(const std::string& key, const std::string& caption, const std::string& imageKey, int indent, int style);
    // Inserts an item at position (clamped to 1 .. Count() + 1), moving the items from there on
    // one place down, and makes it current; returns its position. Its indent starts at 0.
    int Insert(int position, const std::string& key, const std::string& caption, const std::string& imageKey,
               int style);
    // Changes the indent of the item at a position; throws std::out_of_range for a bad position.
    void SetIndent(int position, int indent);
    void Clear();

    // The current item: its position (0 when the bar is empty), or nullptr.
    int CurrentPosition() const { return m_current; }
    const FolderBarItem* Current() const;
    // Makes the item at position current; a position outside the bar is ignored.
    void SetCurrent(int position);

    // The selected item (the folder shown), 0 / nullptr when none.
    int SelectedPosition() const { return m_selected; }
    const FolderBarItem* Selected() const;
    // Marks the first item with that key selected and current; false when there is none.
    bool MarkSelected(const std::string& key);
    // Marks the item at position selected and current; a position outside the bar is ignored.
    void MarkSelected(int position);

    // Called after every change of the items, the current or the selected item.
    void SetOnChanged(std::function<void()> onChanged) { m_onChanged = std::move(onChanged); }

private:
    void Renumber(size_t from);
    void Changed();

    std::vector<FolderBarItem> m_items;
    int m_current = 0;
    int m_selected = 0;
    std::function<void()> m_onChanged;
};

}  // namespace folders
