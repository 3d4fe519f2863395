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

TEST(GetCommandArgs, KeepsEachArgumentTheSystemGaveWhole) {
    // A path with a blank, passed as one argument, must not fall apart.
    const char* argv[] = {"/opt/x/Archive", "-D", "-create/My Practice/Corvane.dbc", " \t", " -T\t", "", "last"};
    SetCommandLine(7, argv);
    EXPECT_EQ(common::CommandLine(), "-D -create/My Practice/Corvane.dbc  \t  -T\t  last");
    EXPECT_EQ(GetCommandArgs(), (Args{"", "-D", "-create/My Practice/Corvane.dbc", "-T", "last"}));
    EXPECT_EQ(GetCommandArgs(2), (Args{"", "-D", "-create/My Practice/Corvane.dbc"}));
    SetCommandLine(1, argv);
    EXPECT_EQ(GetCommandArgs(), (Args{""}));
    // A command line given as text is split at blanks again.
    SetCommandLine("-D two words");
    EXPECT_EQ(GetCommandArgs(), (Args{"", "-D", "two", "words"}));
    SetCommandLine("");
}
