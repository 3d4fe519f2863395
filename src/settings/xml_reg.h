// CXMLReg: named settings kept in a per-user XML parameter file, addressed by section and key,
// with text values (the GetSetting / SaveSetting / DeleteSetting triple).
//
// The file is AppPath "/" AppName ".xml"; its root element is Data, each section is an element
// below it and each key an element in its section (the Ex forms allow nested keys, A/B being
// element B inside A). Names are sanitized the same way on every access (settings/xml_names.h).
// The file may be shared with other programs: before each access the store compares the file's
// stamp (last-modified second and permission bits) and reads the file again when it changed.
// A missing file is created empty; a damaged one is set aside as ".bak", reported, and created
// empty. Every write replaces the whole file through a rename, so a crash never leaves half a
// file. Used from the user-interface thread only; the program holds one instance (XMLReg).
#pragma once

#include <memory>
#include <string>

#include <pugixml.hpp>

#include "settings/file_io.h"

namespace settings {

class CXMLReg {
public:
    // AppPath starts as the program's own folder, AppName and SectionName empty, EnableSave true.
    CXMLReg();

    const std::string& AppName() const { return m_appName; }
    void SetAppName(std::string name) { m_appName = std::move(name); }
    // The section used by a call that gives an empty section.
    const std::string& SectionName() const { return m_sectionName; }
    void SetSectionName(std::string name) { m_sectionName = std::move(name); }
    // The folder of the file; empty means the program's own folder.
    const std::string& AppPath() const { return m_appPath; }
    void SetAppPath(std::string path) { m_appPath = std::move(path); }
    // True: every change is written at once. False: changes stay in memory until SaveFile
    // (and are lost when another program changes the file in between).
    bool EnableSave() const { return m_enableSave; }
    void SetEnableSave(bool enable) { m_enableSave = enable; }

    // The full name of the parameter file that AppPath and AppName give now.
    std::string FileName() const;

    // Sanitizes one element name; "/" is replaced too.
    static std::string xmlReplace(const std::string& name);
    // Sanitizes a path of element names, keeping "/".
    static std::string xmlReplacePath(const std::string& name);

    // The value of a key, or defaultValue when the key (or the section and SectionName) is
    // empty, or the key's element is absent or holds no text. Never throws.
    std::string GetSetting(const std::string& section = {}, const std::string& key = {},
                           const std::string& defaultValue = {});
    // As GetSetting; "/" in section or key addresses nested elements.
    std::string GetSettingEx(const std::string& section = {}, const std::string& key = {},
                             const std::string& defaultValue = {});
    // Stores a value, creating the elements it needs. A value that begins with "<![CDATA["
    // is stored as a CDATA section holding the rest of the text. Nothing happens when the key
    // (or the section and SectionName) is empty. Failures end the call silently.
    void SaveSetting(const std::string& section = {}, const std::string& key = {}, const std::string& value = {});
    // As SaveSetting; "/" in section or key makes nested elements.
    void SaveSettingEx(const std::string& section = {}, const std::string& key = {}, const std::string& value = {});
    // Removes a key, or the whole section when key is empty. Failures end the call silently.
    void DeleteSetting(const std::string& section = {}, const std::string& key = {});
    // Forgets the loaded file and its stamp: the next access reads the file named by the
    // current AppPath and AppName. Call it after changing either once the file was used.
    void ClearReadFlags();
    // Writes the document to the loaded file now, whatever EnableSave says. Does nothing when
    // no file was read yet. Throws engine::Error (kFileAccess) when the file cannot be written.
    void SaveFile();

private:
    struct ParseFailure {
        bool failed = false;
        long line = 0;
        long position = 0;
        std::string reason;
    };

    bool ReadFileAsRequired(int depth = 0);
    bool HasParseError() const { return m_parse.failed; }
    void Load(const std::string& file);
    void StampFile();
    void CreateFileIfMissing(int depth = 0);
    void SetAsideDamagedFile(const std::string& fileName);
    std::string ReadSetting(const std::string& section, const std::string& key, const std::string& defaultValue,
                            bool allowNested);
    void WriteSetting(const std::string& section, const std::string& key, const std::string& value, bool allowNested);
    void SaveIfEnabled();
    std::string ResolveSection(const std::string& section) const;

    pugi::xml_document m_doc;
    ParseFailure m_parse;
    std::string m_appName;
    std::string m_sectionName;
    std::string m_appPath;
    bool m_enableSave = true;
    std::string m_loadedFile;
    FileStamp m_stamp;
};

// The program-wide parameter store; start-up creates it and sets AppName and AppPath.
// Empty until then.
extern std::unique_ptr<CXMLReg> XMLReg;

}  // namespace settings
