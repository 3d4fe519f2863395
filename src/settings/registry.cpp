#include "settings/registry.h"

#include "common/registry_store.h"

namespace settings {
namespace reg = common::reg;
namespace {

constexpr long kSpent = -1;             // the code isSuccess leaves behind
constexpr long kInvalidParameter = 87;  // ERROR_INVALID_PARAMETER

// Data in the form DataType asks for; false when it has no such form.
bool ToRegistryValue(uint32_t type, const Registry::Data& data, reg::Value& out) {
    switch (type) {
        case Registry::kString:
            if (const auto* s = std::get_if<std::string>(&data)) return out = reg::StringValue(*s), true;
            if (const auto* n = std::get_if<uint32_t>(&data)) return out = reg::StringValue(std::to_string(*n)), true;
            return false;
        case Registry::kBinary:
            if (const auto* b = std::get_if<std::vector<uint8_t>>(&data)) return out = reg::BinaryValue(*b), true;
            if (const auto* s = std::get_if<std::string>(&data))
                return out = reg::BinaryValue(std::vector<uint8_t>(s->begin(), s->end())), true;
            return false;
        case Registry::kNumber:
            if (const auto* n = std::get_if<uint32_t>(&data)) return out = reg::DwordValue(*n), true;
            return false;
        default: return false;
    }
}

}  // namespace

bool Registry::isSuccess() {
    const bool ok = m_result == reg::kOk;
    m_result = kSpent;
    return ok;
}

void Registry::DeleteValue() {
    long rc = reg::KeyExists(m_root, m_subKey);
    if (rc == reg::kOk) rc = reg::DeleteValue(m_root, m_subKey, m_valueName);
    Finish(rc);
}

void Registry::DeleteKey() { Finish(reg::DeleteKey(m_root, m_subKey, false)); }

void Registry::CreateKey() { Finish(reg::CreateKey(m_root, m_subKey)); }

void Registry::SaveSetting() {
    reg::Value value;
    if (!ToRegistryValue(m_dataType, m_data, value)) return Finish(kInvalidParameter);
    Finish(reg::SetValue(m_root, m_subKey, m_valueName, value));
}

void Registry::GetSetting() {
    reg::Value value;
    const long rc = reg::ReadValue(m_root, m_subKey, m_valueName, value);
    if (rc == reg::kOk) {
        m_dataType = value.type;
        if (value.type == reg::kString || value.type == reg::kExpandString) m_data = reg::TextOf(value);
        else if (value.type == reg::kDword) m_data = reg::DwordOf(value);
        else m_data = value.data;
    }
    Finish(rc);
}

void Registry::Finish(long result) {
    m_result = result;
    const auto& callback = result == reg::kOk ? OnSuccess : OnFailure;
    if (callback) callback();
}

}  // namespace settings
