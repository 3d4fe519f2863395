#include "settings/xml_reg.h"

#include "common/product.h"
#include "common/text_position.h"
#include "engine/error.h"
#include "settings/xml_names.h"
#include "settings/xml_nodes.h"

namespace settings {

std::unique_ptr<CXMLReg> XMLReg;

namespace {

constexpr const char* kModule = "CXMLReg";
constexpr const char* kCrLf = "\r\n";
// What a new parameter file holds: three lines, each ended by CR LF.
constexpr const char* kEmptyFile = "<?xml version=\"1.0\"?>\r\n<Data>\r\n</Data>\r\n";
// Comments and processing instructions of other writers are kept; a lone blank value too.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration | pugi::parse_comments |
                                   pugi::parse_pi | pugi::parse_ws_pcdata_single;
// Levels of elements (and their text) a parameter file may have below the document.
constexpr int kMaxDepth = 100;

}  // namespace

CXMLReg::CXMLReg() : m_appPath(ProgramFolder()) {}

std::string CXMLReg::FileName() const {
    std::string folder = m_appPath.empty() ? ProgramFolder() : m_appPath;
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder + m_appName + ".xml";
}

std::string CXMLReg::xmlReplace(const std::string& name) { return SanitizeName(name, false); }

std::string CXMLReg::xmlReplacePath(const std::string& name) { return SanitizeName(name, true); }

void CXMLReg::ClearReadFlags() {
    m_loadedFile.clear();
    m_stamp = FileStamp{};
}

void CXMLReg::StampFile() {
    if (const auto stamp = ReadStamp(m_loadedFile)) m_stamp = *stamp;
}

void CXMLReg::Load(const std::string& file) {
    if (!FileExists(file)) {
        // A missing file counts as a document that could not be parsed; the caller creates it.
        m_doc.reset();
        m_parse = ParseFailure{true, 0, 0, "The system cannot locate the object specified."};
        return;
    }
    // Read first: a file that cannot be read leaves the document as it was.
    const std::string bytes = ReadWholeFile(file);
    m_parse = ParseFailure{};
    const pugi::xml_parse_result result = m_doc.load_buffer(bytes.data(), bytes.size(), kParseOptions);
    if (!result) {
        const common::TextPosition where = common::PositionOfOffset(bytes, result.offset);
        m_parse = ParseFailure{true, where.line, where.position, result.description()};
        m_doc.reset();
        return;
    }
    // Saving indents every level, so a document nested thousands deep would be written out
    // as gigabytes; no parameter file nests like that.
    if (const pugi::xml_node deep = NodeDeeperThan(m_doc, kMaxDepth)) {
        const common::TextPosition where = common::PositionOfOffset(bytes, deep.offset_debug());
        m_parse = ParseFailure{true, where.line, where.position, "Elements are nested too deeply"};
        m_doc.reset();
    }
}

bool CXMLReg::ReadFileAsRequired(int depth) {
    try {
        const std::string fileName = FileName();
        bool reload = true;
        if (m_loadedFile.empty() || fileName != m_loadedFile) {
            // First access, or AppPath / AppName changed without ClearReadFlags: from now on
            // the store reads and writes the file they name, never one file and save another.
            m_loadedFile = fileName;
            StampFile();
        } else {
            const std::optional<FileStamp> now = ReadStamp(m_loadedFile);
            if (!now) throw engine::Error(engine::err::kFileNotFound, "File not found: " + m_loadedFile);
            if (*now != m_stamp) StampFile();
            else reload = false;
        }
        if (reload) {
            try {
                Load(fileName);
            } catch (...) {
                m_stamp = FileStamp{};  // not read: the next access tries again
                throw;
            }
        }
        if (HasParseError()) {
            if (FileExists(m_loadedFile)) SetAsideDamagedFile(fileName);
            CreateFileIfMissing(depth);
        }
        return true;
    } catch (...) {
        return false;
    }
}

void CXMLReg::SetAsideDamagedFile(const std::string& fileName) {
    const std::string backup = m_loadedFile + ".bak";
    MoveFile(m_loadedFile, backup);
    std::string message;
    message += kCrLf;
    message += kCrLf;
    message += "XML error in file:  ";
    message += kCrLf + fileName + kCrLf;
    message += "Line:  " + std::to_string(m_parse.line) + kCrLf;
    message += "Line Pos: " + std::to_string(m_parse.position) + kCrLf;
    message += "Reason:  " + m_parse.reason + kCrLf;
    message += "A copy of the file has been renamed as:";
    message += kCrLf + backup;
    product::ReportError(kModule, "ReadFileAsRequired", message, true);
}

void CXMLReg::CreateFileIfMissing(int depth) {
    if (FileExists(m_loadedFile)) return;
    WriteFileAtomically(m_loadedFile, kEmptyFile);
    ClearReadFlags();
    // The file just written is read once; should even that fail, the store stops trying.
    if (depth == 0) ReadFileAsRequired(depth + 1);
}

std::string CXMLReg::ResolveSection(const std::string& section) const {
    return section.empty() ? m_sectionName : section;
}

std::string CXMLReg::ReadSetting(const std::string& section, const std::string& key, const std::string& defaultValue,
                                 bool allowNested) {
    std::string result = defaultValue;
    try {
        if (key.empty()) return defaultValue;
        const std::string sectionName = ResolveSection(section);
        if (sectionName.empty()) return defaultValue;
        ReadFileAsRequired();
        const std::vector<std::string> path = BuildNodePath(sectionName, key, allowNested);
        if (!HasParseError())
            if (const pugi::xml_node node = SelectNode(m_doc, path)) result = NodeText(node);
        if (result.empty()) result = defaultValue;
    } catch (...) {
        // A failure returns what was found so far.
    }
    return result;
}

void CXMLReg::WriteSetting(const std::string& section, const std::string& key, const std::string& value,
                           bool allowNested) {
    try {
        if (key.empty()) return;
        const std::string sectionName = ResolveSection(section);
        if (sectionName.empty()) return;
        if (m_loadedFile.empty()) ReadFileAsRequired();
        const bool readable = ReadFileAsRequired();
        if (FileExists(m_loadedFile) && !readable) {
            product::ReportError(
                kModule, "SaveSetting",
                "Parameter file, " + m_loadedFile + " was not readable.  A copy has been renamed as *.bak", true);
            MoveFile(m_loadedFile, m_loadedFile + ".bak");
        }
        CreateFileIfMissing();
        const std::vector<std::string> path = BuildNodePath(sectionName, key, allowNested);
        if (HasParseError()) {
            StampFile();
            return;
        }
        StoreValue(EnsureNode(m_doc, path), value);
        SaveIfEnabled();
        StampFile();
    } catch (...) {
        // The change ends here; what was changed in memory before stays.
    }
}

void CXMLReg::SaveIfEnabled() {
    if (m_enableSave) WriteFileAtomically(m_loadedFile, SerializeDocument(m_doc));
}

std::string CXMLReg::GetSetting(const std::string& section, const std::string& key, const std::string& defaultValue) {
    return ReadSetting(section, key, defaultValue, false);
}

std::string CXMLReg::GetSettingEx(const std::string& section, const std::string& key, const std::string& defaultValue) {
    return ReadSetting(section, key, defaultValue, true);
}

void CXMLReg::SaveSetting(const std::string& section, const std::string& key, const std::string& value) {
    WriteSetting(section, key, value, false);
}

void CXMLReg::SaveSettingEx(const std::string& section, const std::string& key, const std::string& value) {
    WriteSetting(section, key, value, true);
}

void CXMLReg::DeleteSetting(const std::string& section, const std::string& key) {
    try {
        const std::string sectionName = ResolveSection(section);
        if (sectionName.empty()) return;
        if (!ReadFileAsRequired()) return;
        const std::vector<std::string> path = BuildNodePath(sectionName, key, false);
        if (HasParseError()) {
            StampFile();
            return;
        }
        if (pugi::xml_node node = SelectNode(m_doc, path)) {
            node.parent().remove_child(node);
            SaveIfEnabled();
            StampFile();
        }
    } catch (...) {
        // Nothing more is removed or saved.
    }
}

void CXMLReg::SaveFile() {
    if (m_loadedFile.empty()) return;
    WriteFileAtomically(m_loadedFile, SerializeDocument(m_doc));
    StampFile();
}

}  // namespace settings
