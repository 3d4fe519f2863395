#include <gtest/gtest.h>

#include "common/command_args.h"

using common::GetCommandArgs;
using common::SetCommandLine;
using common::SplitCommandArgs;
using Args = std::vector<std::string>;

TEST(SplitCommandArgs, SplitsAtBlanksAndTabsWithElementZeroEmpty) {
    EXPECT_EQ(SplitCommandArgs("-D  -T\t-create/data/Corvane.dbc"), (Args{"", "-D", "-T", "-create/data/Corvane.dbc"}));
    EXPECT_EQ(SplitCommandArgs("   lead  and trail   "), (Args{"", "lead", "and", "trail"}));
    EXPECT_EQ(SplitCommandArgs(""), (Args{""}));
    EXPECT_EQ(SplitCommandArgs(" \t "), (Args{""}));
}

TEST(SplitCommandArgs, QuotesHaveNoMeaning) {
    EXPECT_EQ(SplitCommandArgs("\"/my data/x\" 'a b'"), (Args{"", "\"/my", "data/x\"", "'a", "b'"}));
}

TEST(SplitCommandArgs, KeepsAtMostMaxArgs) {
    const Args twelve = SplitCommandArgs("1 2 3 4 5 6 7 8 9 10 11 12");
    EXPECT_EQ(twelve, (Args{"", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
    EXPECT_EQ(SplitCommandArgs("a b c", 2), (Args{"", "a", "b"}));
    EXPECT_EQ(SplitCommandArgs("a b c", 0), (Args{""}));
    // Exactly MaxArgs with trailing blanks is not cut.
    EXPECT_EQ(SplitCommandArgs("a b  ", 2), (Args{"", "a", "b"}));
}

TEST(GetCommandArgs, ReadsTheProgramsOwnArgumentsJoinedByBlanks) {
    const char* argv[] = {"/opt/x/Archive", "-D", "two words", "-pack/srv/data"};
    SetCommandLine(4, argv);
    EXPECT_EQ(common::CommandLine(), "-D two words -pack/srv/data");
    EXPECT_EQ(GetCommandArgs(), (Args{"", "-D", "two", "words", "-pack/srv/data"}));
    EXPECT_EQ(GetCommandArgs(1), (Args{"", "-D"}));
    SetCommandLine(1, argv);
    EXPECT_EQ(GetCommandArgs(), (Args{""}));
    SetCommandLine("");
}
