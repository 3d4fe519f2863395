#include <gtest/gtest.h>

#include "app/start_switches.h"
#include "common/command_args.h"

using app::ParseStartSwitches;
using app::StartSwitches;
using Mode = StartSwitches::Mode;

namespace {
StartSwitches Parse(const std::string& commandLine) {
    return ParseStartSwitches(common::SplitCommandArgs(commandLine));
}
}  // namespace

TEST(StartSwitches, DebugSwitchesAreRecognisedByTheirLastTwoCharactersInAnyCase) {
    EXPECT_EQ(Parse("-D").debugBits, 1);
    EXPECT_EQ(Parse("-d").debugBits, 1);
    EXPECT_EQ(Parse("/x-d").debugBits, 1);
    EXPECT_EQ(Parse("-t").debugBits, 2);
    EXPECT_EQ(Parse("-T -D").debugBits, 3);
    EXPECT_EQ(Parse("D T -X --").debugBits, 0);
    EXPECT_EQ(Parse("").mode, Mode::Window);
}

TEST(StartSwitches, CreateTakesThePathGluedToIt) {
    const StartSwitches s = Parse("-D -create/data/Corvane.dbc -T");
    EXPECT_EQ(s.mode, Mode::Create);
    EXPECT_EQ(s.value, "/data/Corvane.dbc");
    EXPECT_EQ(s.debugBits, 1);  // nothing after the job switch is looked at
}

TEST(StartSwitches, JobSwitchesAreCaseSensitive) {
    const StartSwitches s = Parse("-CREATE/data/Corvane.dbc -Pack/data");
    EXPECT_EQ(s.mode, Mode::Window);
    EXPECT_EQ(s.debugBits, 0);
}

TEST(StartSwitches, PackTakesTheFolderGluedToIt) {
    EXPECT_EQ(Parse("-pack/srv/data").value, "/srv/data");
    EXPECT_EQ(Parse("-pack/srv/data").mode, Mode::Pack);
    // The first job switch wins.
    EXPECT_EQ(Parse("-pack/a -create/b").mode, Mode::Pack);
}

TEST(StartSwitches, AJobPathEndingLikeADebugSwitchStillNamesTheJob) {
    const StartSwitches s = Parse("-pack/srv/site-d");
    EXPECT_EQ(s.mode, Mode::Pack);
    EXPECT_EQ(s.value, "/srv/site-d");
    EXPECT_EQ(s.debugBits, 0);
}

TEST(StartSwitches, OnlyTheLeadingSwitchIsCutFromThePath) {
    EXPECT_EQ(Parse("-pack/srv/x-pack/data").value, "/srv/x-pack/data");
    EXPECT_EQ(Parse("-create/a-create/Corvane.dbc").value, "/a-create/Corvane.dbc");
}

TEST(StartSwitches, TheEleventhArgumentIsNeverLookedAt) {
    EXPECT_EQ(Parse("1 2 3 4 5 6 7 8 9 -D").debugBits, 1);
    EXPECT_EQ(Parse("1 2 3 4 5 6 7 8 9 10 -D").debugBits, 0);
    EXPECT_EQ(Parse("1 2 3 4 5 6 7 8 9 10 -create/x").mode, Mode::Window);
}
