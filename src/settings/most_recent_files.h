// CMostRecentFiles: a list of recently used files kept in the parameter store, newest first,
// as the settings "RecentFile1", "RecentFile2", ... of one section (an absent or empty entry
// ends the list). It can mirror the list into the keyed entry list of a user-interface object
// (a recent-files menu), where entry i has the key RootKey followed by i.
//
// Start-up sets XMLFile to the program's store, RootKey "FILE", MaxFiles 20, MenuOffset 1 and
// Section "Recent Files", and reads the most recent database with GetRecordNum(1).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace settings {

class CXMLReg;

// The keyed entry list of a user-interface object that shows the recent files.
class RecentFilesItem {
public:
    virtual ~RecentFilesItem() = default;
    // Adds an entry at a position (from 1) with a key and the text shown.
    virtual void Add(int position, const std::string& key, const std::string& text) = 0;
    // The text of the entry with that key, or nothing when there is none.
    virtual std::optional<std::string> Text(const std::string& key) const = 0;
    // Removes the entry with that key.
    virtual void Remove(const std::string& key) = 0;
};

class CMostRecentFiles {
public:
    // Puts NewRecord at the top of the user-interface list (removing any other copy of it,
    // keeping at most MaxFiles entries) and stores the list, writing the file once.
    // Returns 1, or 0 when no Item is attached.
    int16_t AddToItem(const std::string& NewRecord);
    // Fills the user-interface list from the stored entries. Returns 1, or 0 without an Item.
    int16_t LoadToItem();
    // Entry nRecordNum (from 1), or empty when there is none or no store is attached.
    std::string GetRecordNum(int16_t nRecordNum) const;

    int16_t MaxFiles() const { return m_maxFiles; }
    void SetMaxFiles(int16_t count) { m_maxFiles = count; }
    // The user-interface list; not owned, must outlive its use. nullptr detaches it.
    RecentFilesItem* Item() const { return m_item; }
    void SetItem(RecentFilesItem* item) { m_item = item; }
    // Position in the user-interface list of entry 1; values below 1 are stored as 1.
    int32_t MenuOffset() const { return m_menuOffset; }
    void SetMenuOffset(int32_t offset);
    const std::string& RootKey() const { return m_rootKey; }
    void SetRootKey(std::string key) { m_rootKey = std::move(key); }
    const std::string& Section() const { return m_section; }
    void SetSection(std::string section) { m_section = std::move(section); }
    // The parameter store; not owned, must outlive its use.
    CXMLReg* XMLFile() const { return m_xmlFile; }
    void SetXMLFile(CXMLReg* store) { m_xmlFile = store; }

private:
    std::string StoredKey(int i) const { return "RecentFile" + std::to_string(i); }
    std::string ItemKey(int i) const { return m_rootKey + std::to_string(i); }

    int16_t m_maxFiles = 0;
    int16_t m_menuOffset = 1;
    std::string m_rootKey;
    std::string m_section;
    CXMLReg* m_xmlFile = nullptr;
    RecentFilesItem* m_item = nullptr;
};

}  // namespace settings
