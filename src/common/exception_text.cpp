#include "common/exception_text.h"

#include "common/product.h"
#include "engine/error.h"

namespace common {

std::string ErrorTextOf(const std::exception& error) {
    if (const auto* e = dynamic_cast<const engine::Error*>(&error))
        return product::ErrorText(e->Number(), e->Description());
    return product::ErrorText(0, error.what());
}

std::string CurrentErrorText() {
    try {
        throw;
    } catch (const std::exception& e) {
        return ErrorTextOf(e);
    } catch (...) {
        return product::ErrorText(0, "Unknown error");
    }
}

}  // namespace common
