// The registry's values and keys in memory and their .reg text form ("Windows Registry Editor
// Version 5.00"), the form Windows exports and imports, so a practice's exported settings can
// be used as they are. Value data is kept as Windows keeps it (strings UTF-16LE with their
// closing zero, numbers as four little-endian bytes), so every type survives a round trip,
// including ones this program never reads. No Qt.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace common::reg {

inline constexpr uint32_t kString = 1;
inline constexpr uint32_t kExpandString = 2;
inline constexpr uint32_t kBinary = 3;
inline constexpr uint32_t kDword = 4;
inline constexpr uint32_t kMultiString = 7;

struct Value {
    uint32_t type = kString;
    std::vector<uint8_t> data;
    bool operator==(const Value&) const = default;
};

// Builders and readers; texts are UTF-8 on this side.
Value StringValue(const std::string& text, uint32_t type = kString);
Value DwordValue(uint32_t number);
Value MultiStringValue(const std::vector<std::string>& strings);
Value BinaryValue(std::vector<uint8_t> bytes);
// The text of a string value up to its first zero character.
std::string TextOf(const Value& value);
// The strings of a multi-string value (the empty string that ends the list not included).
std::vector<std::string> StringsOf(const Value& value);
// The number of a 32-bit number value (missing bytes count as zero).
uint32_t DwordOf(const Value& value);

std::string Utf16LeToUtf8(const uint8_t* data, size_t size);
std::vector<uint8_t> Utf8ToUtf16Le(const std::string& text);

// Registry key and value names compare without regard to case, as on Windows.
bool SameName(const std::string& a, const std::string& b);
std::string LowerName(const std::string& name);

struct Key {
    std::string path;  // full path from the root name, e.g. HKEY_CURRENT_USER\Software\X
    std::vector<std::pair<std::string, Value>> values;  // in stored order; "" is the default value
    const Value* Find(const std::string& name) const;
    void Set(const std::string& name, const Value& value);
    bool Remove(const std::string& name);
};

// The keys of one file in stored order. A key exists when stored or when a key below it is.
struct Document {
    std::vector<Key> keys;
    Key* Find(const std::string& path);
    const Key* Find(const std::string& path) const;
    bool Exists(const std::string& path) const;
    Key& Ensure(const std::string& path);
    // As Ensure, storing every missing key between the root and path first, as creating a key
    // does on Windows (so deleting a key never takes its parents with it).
    Key& EnsureWithParents(const std::string& path);
    // Names of the keys directly below path, in the order they first appear.
    std::vector<std::string> SubKeys(const std::string& path) const;
    // Removes the key and everything below it; false when nothing was there.
    bool RemoveTree(const std::string& path);
};

struct ParseResult {
    Document document;             // every line that could be understood
    std::vector<size_t> badLines;  // 1-based numbers of lines that could not
    bool badHeader = false;
    bool Damaged() const { return badHeader || !badLines.empty(); }
};

// Reads .reg text in UTF-8 (with or without byte-order mark) or UTF-16LE with its byte-order
// mark, as regedit writes it. Deletions ([-key], "name"=-) are applied as on import.
ParseResult Parse(const std::string& bytes);
// The document as UTF-8 .reg text.
std::string Format(const Document& document);

}  // namespace common::reg
