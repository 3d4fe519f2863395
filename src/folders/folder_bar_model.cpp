#include "folders/folder_bar_model.h"

#include <algorithm>
#include <stdexcept>

namespace folders {

const FolderBarItem& FolderBarModel::Item(int position) const {
    if (position < 1 || position > Count()) throw std::out_of_range("folder bar position " + std::to_string(position));
    return m_items[static_cast<size_t>(position - 1)];
}

int FolderBarModel::Find(const std::string& key) const {
    for (const FolderBarItem& item : m_items)
        if (item.Key == key) return item.Position;
    return 0;
}

int FolderBarModel::Add(const std::string& key, const std::string& caption, const std::string& imageKey, int indent,
                        int style) {
    m_items.push_back(FolderBarItem{key, caption, imageKey, indent, Count() + 1, style});
    m_current = Count();
    Changed();
    return m_current;
}

int FolderBarModel::Insert(int position, const std::string& key, const std::string& caption,
                           const std::string& imageKey, int style) {
    position = std::clamp(position, 1, Count() + 1);
    const auto at = m_items.begin() + (position - 1);
    m_items.insert(at, FolderBarItem{key, caption, imageKey, 0, position, style});
    Renumber(static_cast<size_t>(position - 1));
    if (m_selected >= position) ++m_selected;
    m_current = position;
    Changed();
    return position;
}

void FolderBarModel::SetIndent(int position, int indent) {
    Item(position);  // checks the position
    m_items[static_cast<size_t>(position - 1)].Indent = indent;
    Changed();
}

void FolderBarModel::Clear() {
    m_items.clear();
    m_current = 0;
    m_selected = 0;
    Changed();
}

const FolderBarItem* FolderBarModel::Current() const {
    return m_current > 0 ? &m_items[static_cast<size_t>(m_current - 1)] : nullptr;
}

void FolderBarModel::SetCurrent(int position) {
    if (position < 1 || position > Count() || position == m_current) return;
    m_current = position;
    Changed();
}

const FolderBarItem* FolderBarModel::Selected() const {
    return m_selected > 0 ? &m_items[static_cast<size_t>(m_selected - 1)] : nullptr;
}

bool FolderBarModel::MarkSelected(const std::string& key) {
    const int position = Find(key);
    if (position == 0) return false;
    MarkSelected(position);
    return true;
}

void FolderBarModel::MarkSelected(int position) {
    if (position < 1 || position > Count()) return;
    m_selected = position;
    m_current = position;
    Changed();
}

void FolderBarModel::Renumber(size_t from) {
    for (size_t i = from; i < m_items.size(); ++i) m_items[i].Position = static_cast<int>(i + 1);
}

void FolderBarModel::Changed() {
    if (m_onChanged) m_onChanged();
}

}  // namespace folders
