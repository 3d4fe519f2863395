#include <gtest/gtest.h>

#include "common/exception_text.h"
#include "common/paths.h"
#include "common/registry_store.h"
#include "common/registry_value.h"
#include "engine/error.h"
#include "support/registry_env.h"

using namespace common;

TEST(AddBackslash, AddsOneSeparatorUnlessThereIsOne) {
    EXPECT_EQ(AddBackslash("/data"), "/data/");
    EXPECT_EQ(AddBackslash("/data/"), "/data/");
    EXPECT_EQ(AddBackslash("c:\\data\\"), "c:\\data\\");
    EXPECT_EQ(AddBackslash(""), "/");
}

TEST(RemoveBackslash, RemovesExactlyOneTrailingSeparator) {
    EXPECT_EQ(RemoveBackslash("/data/"), "/data");
    EXPECT_EQ(RemoveBackslash("/data//"), "/data/");
    EXPECT_EQ(RemoveBackslash("c:\\data\\\\"), "c:\\data\\");
    EXPECT_EQ(RemoveBackslash("/data"), "/data");
    EXPECT_EQ(RemoveBackslash("/"), "");
    EXPECT_EQ(RemoveBackslash(""), "");
}

TEST(FolderOf, KeepsTextUpToTheLastSeparator) {
    EXPECT_EQ(FolderOf("/data/Corvane.dbc"), "/data/");
    EXPECT_EQ(FolderOf("c:\\data\\Corvane.dbc"), "c:\\data\\");
    EXPECT_EQ(FolderOf("/srv/corvane\\Corvane.exe"), "/srv/corvane\\");
    EXPECT_EQ(FolderOf("/data/"), "/data/");
    EXPECT_EQ(FolderOf("Corvane.dbc"), "");
    EXPECT_EQ(FolderOf(""), "");
}

TEST(ReplaceChars, ReplacesEveryCharacterOfTheSet) {
    EXPECT_EQ(ReplaceChars("Recent Files", " ", "-"), "Recent-Files");
    EXPECT_EQ(ReplaceChars("a,b;c d", ",; ", "_"), "a_b_c_d");
    EXPECT_EQ(ReplaceChars("(555) 123-4567", "()- ", ""), "5551234567");
    EXPECT_EQ(ReplaceChars("aaa", "a", "aa"), "aaaaaa");  // replacements are not scanned again
    EXPECT_EQ(ReplaceChars("", "a", "b"), "");
    EXPECT_EQ(ReplaceChars("abc", "", "x"), "abc");
    // A multi-byte character of the set is one character, not its bytes one by one.
    EXPECT_EQ(ReplaceChars("Mérida é", "é", "e"), "Merida e");
    EXPECT_EQ(ReplaceChars("\xC3\xA9\xC3\xA8", "\xC3\xA9", "-"), "-\xC3\xA8");
}

TEST(ReadRegValue, AnswersFalseAndEmptiesTheValueOfAMissingKey) {
    testing_support::ScopedRegistry registry;
    std::string value = "left over";
    EXPECT_FALSE(ReadRegValue(kHkeyLocalMachine, "SOFTWARE\\RArozu\\DerazoRI", "Corvane", value));
    EXPECT_EQ(value, "");
}

TEST(ReadRegValue, GivesTextsAndNumbersAndLeavesOtherTypesAlone) {
    testing_support::ScopedRegistry registry;
    using namespace common::reg;
    SetValue(kHkeyCurrentUser, "Software\\T", "Text", StringValue("hello"));
    SetValue(kHkeyCurrentUser, "Software\\T", "Number", DwordValue(4000000000u));
    SetValue(kHkeyCurrentUser, "Software\\T", "Blob", BinaryValue({1, 2}));
    SetValue(kHkeyCurrentUser, "Software\\T", "Long", StringValue(std::string(600, 'x')));
    std::string value = "before";
    EXPECT_TRUE(ReadRegValue(kHkeyCurrentUser, "Software\\T", "Blob", value));
    EXPECT_EQ(value, "before");
    EXPECT_TRUE(ReadRegValue(kHkeyCurrentUser, "Software\\T", "text", value));
    EXPECT_EQ(value, "hello");
    EXPECT_TRUE(ReadRegValue(kHkeyCurrentUser, "software\\t", "Number", value));
    EXPECT_EQ(value, "4000000000");
    EXPECT_FALSE(ReadRegValue(kHkeyCurrentUser, "Software\\T", "Long", value));  // 1202 bytes
    EXPECT_EQ(value, "");
}

TEST(ErrorTextOf, UsesTheEngineErrorNumberAndDescription) {
    EXPECT_EQ(ErrorTextOf(engine::Error(1705, "File is in use.")), "Error #: 1705, Descr: File is in use.");
    EXPECT_EQ(ErrorTextOf(std::runtime_error("bad thing")), "Error #: 0, Descr: bad thing");
    try {
        throw engine::Error(3704, "Operation is not allowed when the object is closed.");
    } catch (...) {
        EXPECT_EQ(CurrentErrorText(), "Error #: 3704, Descr: Operation is not allowed when the object is closed.");
    }
}
