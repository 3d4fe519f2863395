#include <gtest/gtest.h>

#include "common/text_position.h"

TEST(PositionOfOffset, CountsLinesAndCharacters) {
    const std::string text = "ab\r\ncd\n\xC3\xA9x";
    EXPECT_EQ(common::PositionOfOffset(text, 0).line, 1);
    EXPECT_EQ(common::PositionOfOffset(text, 0).position, 1);
    EXPECT_EQ(common::PositionOfOffset(text, 5).line, 2);
    EXPECT_EQ(common::PositionOfOffset(text, 5).position, 2);
    // After a two-byte character, x is the second character of line 3.
    EXPECT_EQ(common::PositionOfOffset(text, 9).line, 3);
    EXPECT_EQ(common::PositionOfOffset(text, 9).position, 2);
    EXPECT_EQ(common::PositionOfOffset(text, 999).position, 3);
}

TEST(LineAtOffset, GivesTheWholeLineWithoutItsEnd) {
    const std::string text = "first\r\nsecond line\nthird";
    EXPECT_EQ(common::LineAtOffset(text, 0), "first");
    EXPECT_EQ(common::LineAtOffset(text, 10), "second line");
    EXPECT_EQ(common::LineAtOffset(text, 999), "third");
}
