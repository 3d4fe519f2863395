#include "common/registry_value.h"

#include "common/registry_store.h"

namespace common {

namespace {
// The buffer the value is read into; a longer value is a failed read.
constexpr size_t kBufferSize = 1024;
}  // namespace

bool ReadRegValue(uint32_t root, const std::string& subKey, const std::string& valueName, std::string& value) {
    reg::Value data;
    if (reg::ReadValue(root, subKey, valueName, data) != reg::kOk || data.data.size() > kBufferSize) {
        value.clear();
        return false;
    }
    if (data.type == reg::kString) value = reg::TextOf(data);
    else if (data.type == reg::kDword) value = std::to_string(reg::DwordOf(data));
    return true;
}

}  // namespace common
