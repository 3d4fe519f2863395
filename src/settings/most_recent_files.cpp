#include "settings/most_recent_files.h"

#include <algorithm>
#include <vector>

#include "settings/xml_reg.h"

namespace settings {

namespace {

// Runs one step of a list operation; a failing step is skipped and the next one runs.
template <class Step>
bool Try(Step&& step) {
    try {
        step();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

void CMostRecentFiles::SetMenuOffset(int32_t offset) {
    m_menuOffset = static_cast<int16_t>(std::clamp<int32_t>(offset, 1, INT16_MAX));
}

std::string CMostRecentFiles::GetRecordNum(int16_t nRecordNum) const {
    if (!m_xmlFile) return {};
    return m_xmlFile->GetSetting(m_section, StoredKey(nRecordNum), {});
}

int16_t CMostRecentFiles::LoadToItem() {
    if (!m_item) return 0;
    for (int i = 1; i <= m_maxFiles; ++i) {
        std::string entry;
        Try([&] { entry = GetRecordNum(static_cast<int16_t>(i)); });
        if (entry.empty()) break;
        Try([&] { m_item->Add(m_menuOffset - 1 + i, ItemKey(i), entry); });
    }
    return 1;
}

int16_t CMostRecentFiles::AddToItem(const std::string& NewRecord) {
    if (!m_item) return 0;

    // The new record first, then the shown entries in order without other copies of it.
    std::vector<std::string> entries{NewRecord};
    bool failed = false;
    for (int i = 1; i <= m_maxFiles && !failed; ++i) {
        std::optional<std::string> text;
        failed = !Try([&] { text = m_item->Text(ItemKey(i)); });
        if (failed || !text) break;
        Try([&] { m_item->Remove(ItemKey(i)); });
        if (*text != NewRecord) entries.push_back(*text);
    }
    const int count = std::min<int>(static_cast<int>(entries.size()), std::max<int>(m_maxFiles, 0));

    for (int i = 1; i <= count; ++i)
        Try([&] { m_item->Add(m_menuOffset - 1 + i, ItemKey(i), entries[static_cast<size_t>(i - 1)]); });

    // Store the whole list with one write of the file.
    if (!m_xmlFile) return 1;
    m_xmlFile->SetEnableSave(false);
    for (int i = 1; i <= m_maxFiles; ++i) {
        std::string text;
        Try([&] { text = m_item->Text(ItemKey(i)).value_or(std::string{}); });
        m_xmlFile->SaveSetting(m_section, StoredKey(i), text);
    }
    m_xmlFile->SetEnableSave(true);
    Try([&] { m_xmlFile->SaveFile(); });
    return 1;
}

}  // namespace settings
