#include "settings/reg_op.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "common/registry_store.h"
#include "common/registry_value.h"
#include "common/ui.h"

namespace settings {
namespace reg = common::reg;
namespace {

constexpr const char* kNoKey = "No Key name specified!";
constexpr const char* kCannotOpen = "Could not open Registry Key!";
constexpr const char* kUnsupported = "Existing value has unsupported data type and will not be overwritten";
constexpr const char* kCannotWrite = "Could not write Registry Value!";
constexpr const char* kNotANumber = "Type mismatch";

// The name of the variable referenced between s[open] == '%' and the next '%', if set.
bool IsReference(const std::string& text, size_t open, size_t& close) {
    close = text.find('%', open + 1);
    if (close == std::string::npos || close == open + 1) return false;
    return std::getenv(text.substr(open + 1, close - open - 1).c_str()) != nullptr;
}

std::string TextForm(const RegVariant& v) {
    if (const auto* s = std::get_if<std::string>(&v)) return *s;
    if (const auto* n = std::get_if<int32_t>(&v)) return std::to_string(*n);
    if (const auto* d = std::get_if<double>(&v)) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.15g", *d);
        return buf;
    }
    if (const auto* b = std::get_if<bool>(&v)) return *b ? "True" : "False";
    if (const auto* a = std::get_if<std::vector<std::string>>(&v)) {
        std::string joined;
        for (const auto& s : *a) joined += (joined.empty() ? "" : " ") + s;
        return joined;
    }
    return {};
}

bool IsNumeric(const RegVariant& v) { return std::holds_alternative<int32_t>(v) || std::holds_alternative<double>(v); }

// The value as a 32-bit number, as a conversion to Long would give it; nothing when it has none.
std::optional<int32_t> AsNumber(const RegVariant& v) {
    if (const auto* n = std::get_if<int32_t>(&v)) return *n;
    if (const auto* b = std::get_if<bool>(&v)) return *b ? -1 : 0;
    double d = 0;
    if (const auto* x = std::get_if<double>(&v)) {
        d = *x;
    } else if (const auto* s = std::get_if<std::string>(&v)) {
        char* end = nullptr;
        d = std::strtod(s->c_str(), &end);
        if (s->empty() || *end) return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (d < -2147483648.0 || d > 4294967295.0) return std::nullopt;
    return int32_t(uint32_t(int64_t(std::llround(d))));
}

}  // namespace

bool HasEnvironmentReference(const std::string& text) {
    for (size_t open = text.find('%'); open != std::string::npos; open = text.find('%', open + 1)) {
        size_t close = 0;
        if (IsReference(text, open, close)) return true;
    }
    return false;
}

std::string ExpandEnvironment(const std::string& text) {
    std::string out;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t open = text.find('%', pos);
        if (open == std::string::npos) break;
        size_t close = 0;
        if (IsReference(text, open, close)) {
            out += text.substr(pos, open - pos) + std::getenv(text.substr(open + 1, close - open - 1).c_str());
            pos = close + 1;
        } else {
            out += text.substr(pos, open + 1 - pos);
            pos = open + 1;
        }
    }
    return out + text.substr(std::min(pos, text.size()));
}

void RegOp::SetRoot(uint32_t root) {
    if (root != common::kHkeyClassesRoot && root != common::kHkeyCurrentUser && root != common::kHkeyLocalMachine)
        root = common::kHkeyCurrentUser;
    if (root == m_root) return;
    m_root = root;
    if (!m_key.empty()) Open();
}

void RegOp::SetKey(const std::string& key) {
    if (key.empty() || reg::SameName(key, m_key)) return;
    m_key = key;
    Open();
}

void RegOp::SetOptions(uint32_t options) {
    if (options <= 15) m_options = options;
}

bool RegOp::Open() {
    m_open = false;
    if (m_key.empty()) {
        Error(kNoKey);
        return false;
    }
    // Opening creates a missing key, so it fails only where the key cannot be made.
    if (reg::KeyExists(m_root, m_key) != reg::kOk && reg::CreateKey(m_root, m_key) != reg::kOk) {
        Error(kCannotOpen);
        return false;
    }
    m_open = true;
    Refresh();
    return true;
}

void RegOp::Refresh() {
    m_cache.reset();
    reg::Key key;
    std::vector<std::string> subKeys;
    m_valueCount = reg::ReadKey(m_root, m_key, key) == reg::kOk ? uint32_t(key.values.size()) : 0;
    m_keyCount = reg::ReadSubKeys(m_root, m_key, subKeys) == reg::kOk ? uint32_t(subKeys.size()) : 0;
}

void RegOp::LoadCache() {
    if (m_cache) return;
    m_cache.emplace();
    reg::Key key;
    if (reg::ReadKey(m_root, m_key, key) != reg::kOk) return;
    for (const auto& [name, value] : key.values) {
        switch (value.type) {
            case reg::kString: m_cache->emplace_back(name, reg::TextOf(value)); break;
            case reg::kExpandString: {
                const std::string text = reg::TextOf(value);
                m_cache->emplace_back(name, (m_options & kExpandOnRead) ? ExpandEnvironment(text) : text);
                break;
            }
            case reg::kDword: m_cache->emplace_back(name, int32_t(reg::DwordOf(value))); break;
            case reg::kMultiString: {
                std::vector<std::string> strings = reg::StringsOf(value);
                if (m_options & kMultiAsArray) {
                    m_cache->emplace_back(name, std::move(strings));
                } else {
                    std::string joined;
                    for (const auto& s : strings) joined += s + '\0';
                    m_cache->emplace_back(name, joined);
                }
                break;
            }
            default: break;  // other types are not mapped to variants
        }
    }
}

RegVariant RegOp::Value(const std::string& name) {
    if (!m_open && !Open()) return {};
    LoadCache();
    for (const auto& [n, v] : *m_cache)
        if (reg::SameName(n, name)) return v;
    return {};
}

bool RegOp::SetValue(const std::string& name, const RegVariant& given) {
    if (!Open()) return false;
    RegVariant value = given;
    reg::Value existing;
    if (reg::ReadValue(m_root, m_key, name, existing) == reg::kOk) {
        switch (existing.type) {
            case reg::kString:
            case reg::kExpandString: value = TextForm(value); break;
            case reg::kDword: {
                const auto number = AsNumber(value);
                if (!number) {
                    Error(kNotANumber);
                    return false;
                }
                value = *number;
                break;
            }
            case reg::kMultiString: break;
            default: Error(kUnsupported); return false;
        }
    }
    if (((m_options & kNumbersAsText) && IsNumeric(value)) || name.empty()) value = TextForm(value);

    reg::Value data;
    if (const auto* array = std::get_if<std::vector<std::string>>(&value)) {
        data = reg::MultiStringValue(*array);
    } else if (const auto* n = std::get_if<int32_t>(&value)) {
        data = reg::DwordValue(uint32_t(*n));
    } else {
        const std::string text = TextForm(value);
        data = reg::StringValue(text, HasEnvironmentReference(text) ? reg::kExpandString : reg::kString);
    }
    const long rc = reg::SetValue(m_root, m_key, name, data);
    Refresh();
    if (rc != reg::kOk) Error(kCannotWrite);
    return rc == reg::kOk;
}

std::vector<std::pair<std::string, RegVariant>> RegOp::AllValues() {
    if (!m_open && !Open()) return {};
    LoadCache();
    return *m_cache;
}

std::vector<std::string> RegOp::AllKeys() {
    std::vector<std::string> keys;
    if (!m_open && !Open()) return keys;
    reg::ReadSubKeys(m_root, m_key, keys);
    return keys;
}

bool RegOp::DeleteValue(const std::string& name) {
    if (!m_open && !Open()) return false;
    const bool ok = reg::DeleteValue(m_root, m_key, name) == reg::kOk;
    Refresh();
    return ok;
}

bool RegOp::DeleteKey() {
    if (m_key.empty()) {
        Error(kNoKey);
        return false;
    }
    const bool ok = reg::DeleteKey(m_root, m_key, true) == reg::kOk;
    m_open = false;
    m_cache.reset();
    m_valueCount = m_keyCount = 0;
    return ok;
}

void RegOp::Error(const std::string& text) const {
    if (m_options & kShowErrors) ui::MsgBox(text, ui::Icon::None, "Registry Error");
}

}  // namespace settings
