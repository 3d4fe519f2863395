// ExpectError: runs an action and expects an engine::Error with a given number whose
// description contains a given text (a file name, a field, the reason).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "engine/error.h"

namespace testing_support {

template <class Fn>
void ExpectError(Fn action, long number, const std::string& text) {
    try {
        action();
        ADD_FAILURE() << "no error; expected " << number;
    } catch (const engine::Error& e) {
        EXPECT_EQ(e.Number(), number) << e.Description();
        EXPECT_NE(e.Description().find(text), std::string::npos) << e.Description();
    }
}

}  // namespace testing_support
