// RegOp: one registry key below a predefined root, with all its values cached and mapped
// between registry types and variants (texts, numbers, string arrays). Works on the registry
// files of common/registry_store.h. Errors are silent unless Options bit 8 asks for a
// "Registry Error" message box (through the user-interface seam). No Qt.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "common/reg_text.h"

namespace settings {

// std::monostate is the empty variant.
using RegVariant = std::variant<std::monostate, std::string, int32_t, double, bool, std::vector<std::string>>;

class RegOp {
public:
    static constexpr uint32_t kNumbersAsText = 1;  // write numeric values as text
    static constexpr uint32_t kMultiAsArray = 2;   // read multi-strings as arrays
    static constexpr uint32_t kExpandOnRead = 4;   // expand environment references when reading
    static constexpr uint32_t kShowErrors = 8;     // show errors in a message box

    uint32_t Root() const { return m_root; }
    // Anything but the three predefined roots becomes HKEY_CURRENT_USER.
    void SetRoot(uint32_t root);
    const std::string& Key() const { return m_key; }
    // An empty key is ignored; another key (compared without case) opens that key.
    void SetKey(const std::string& key);
    uint32_t Options() const { return m_options; }
    // Values outside 0 to 15 are ignored.
    void SetOptions(uint32_t options);

    // The value of that name (empty name: the default value); empty when there is none.
    RegVariant Value(const std::string& name = {});
    // Writes a value, converted to the type of an existing value of that name.
    bool SetValue(const std::string& name, const RegVariant& value);
    bool SetValue(const RegVariant& value) { return SetValue({}, value); }

    // Name and value of every value the cache holds, in stored order.
    std::vector<std::pair<std::string, RegVariant>> AllValues();
    // Names of the keys directly below Key, in stored order.
    std::vector<std::string> AllKeys();
    bool DeleteValue(const std::string& name = {});
    // Deletes Key with everything below it.
    bool DeleteKey();
    uint32_t ValueCount() const { return m_valueCount; }
    uint32_t KeyCount() const { return m_keyCount; }

private:
    bool Open();
    void Refresh();
    void LoadCache();
    void Error(const std::string& text) const;

    uint32_t m_root = 0x80000001u;
    uint32_t m_options = 0;
    std::string m_key;
    bool m_open = false;
    uint32_t m_valueCount = 0;
    uint32_t m_keyCount = 0;
    std::optional<std::vector<std::pair<std::string, RegVariant>>> m_cache;
};

// Environment references: whether text names a set variable between two "%" signs, and text
// with every such reference replaced by the variable's value.
bool HasEnvironmentReference(const std::string& text);
std::string ExpandEnvironment(const std::string& text);

}  // namespace settings
