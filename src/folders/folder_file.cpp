#include "folders/folder_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "common/files.h"
#include "common/product.h"
#include "common/text_position.h"

namespace folders {

namespace fs = std::filesystem;

namespace {

std::string Report(const std::string& reason, long line, const std::string& sourceText) {
    return "Error loading Folders file.\r\n" + reason + "\r\n" + std::to_string(line) + "\r\n" + sourceText;
}

}  // namespace

std::string FolderFilePath(const std::string& appPath) {
    return common::FindInFolder(appPath, kFolderFileName).value_or((fs::path(appPath) / kFolderFileName).string());
}

std::optional<std::string> LoadFolderFile(const std::string& file, pugi::xml_document& doc) {
    try {
        doc.reset();
        std::ifstream in(file, std::ios::binary);
        if (!in) return Report("The system cannot locate the object specified.", 0, "");
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const pugi::xml_parse_result result = doc.load_buffer(text.data(), text.size());
        if (result) return std::nullopt;
        doc.reset();
        const common::TextPosition where = common::PositionOfOffset(text, result.offset);
        return Report(result.description(), where.line, common::LineAtOffset(text, result.offset));
    } catch (const std::exception& e) {
        doc.reset();
        return Report(e.what(), 0, "");
    }
}

bool ReadFolderFile(const std::string& appPath, pugi::xml_document& folderDoc) {
    const std::string file = FolderFilePath(appPath);
    common::SetFileAttributes(file, common::kAttrNormal);  // a missing file is no concern here
    const std::optional<std::string> error = LoadFolderFile(file, folderDoc);
    if (error) product::ReportError("frmArchive", "ReadFolderFile", *error, true);
    return !error;
}

}  // namespace folders
