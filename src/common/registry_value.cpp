#include "common/registry_value.h"

namespace common {

bool ReadRegValue(uint32_t, const std::string&, const std::string&, std::string& value) {
    value.clear();
    return false;
}

}  // namespace common
