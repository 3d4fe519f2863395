#include "folders/folder_file.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "common/product.h"

namespace folders {

namespace fs = std::filesystem;

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
        return std::tolower(x) == std::tolower(y);
    });
}

// Clears what keeps the owner from rewriting the file; a missing file is no concern here.
void SetNormalAttributes(const std::string& file) {
    std::error_code ec;
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ec);
}

std::string Report(const std::string& reason, long line, const std::string& sourceText) {
    return "Error loading Folders file.\r\n" + reason + "\r\n" + std::to_string(line) + "\r\n" + sourceText;
}

}  // namespace

std::string FolderFilePath(const std::string& appPath) {
    const fs::path exact = fs::path(appPath) / kFolderFileName;
    std::error_code ec;
    if (fs::exists(exact, ec)) return exact.string();
    for (fs::directory_iterator it(appPath, ec), end; !ec && it != end; it.increment(ec)) {
        if (SameIgnoringCase(it->path().filename().string(), kFolderFileName)) return it->path().string();
    }
    return exact.string();
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
        // The line of the failing character, and that line's text without its line end.
        const size_t offset = std::min(static_cast<size_t>(std::max<ptrdiff_t>(result.offset, 0)), text.size());
        const long line = 1 + static_cast<long>(std::count(text.begin(), text.begin() + offset, '\n'));
        const size_t begin = offset == 0 ? 0 : text.rfind('\n', offset - 1) + 1;  // npos + 1 == 0
        size_t end = text.find('\n', offset);
        if (end == std::string::npos) end = text.size();
        std::string source = text.substr(begin, end - begin);
        if (!source.empty() && source.back() == '\r') source.pop_back();
        return Report(result.description(), line, source);
    } catch (const std::exception& e) {
        doc.reset();
        return Report(e.what(), 0, "");
    }
}

bool ReadFolderFile(const std::string& appPath, pugi::xml_document& folderDoc) {
    const std::string file = FolderFilePath(appPath);
    SetNormalAttributes(file);
    const std::optional<std::string> error = LoadFolderFile(file, folderDoc);
    if (error) product::ReportError("frmArchive", "ReadFolderFile", *error, true);
    return !error;
}

}  // namespace folders
