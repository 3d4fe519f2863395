#include <gtest/gtest.h>

#include <filesystem>

#include "common/process.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

// A shell script that sleeps a little, then writes its arguments into the file named first.
void WriteProbe(const fs::path& script) {
    WriteFile(script, "#!/bin/sh\nsleep 0.3\nout=\"$1\"\nshift\necho \"$@\" > \"$out\"\n");
    fs::permissions(script, fs::perms::owner_all);
}

}  // namespace

TEST(RunAndWait, WaitsForTheChildToEndAndPassesArgumentsSplitAtBlanks) {
    TempDir dir;
    WriteProbe(dir / "probe");
    const fs::path out = dir / "out.txt";
    EXPECT_TRUE(common::RunAndWait((dir / "probe").string() + " " + out.string() + "  -create/data/Corvane.dbc\tx"));
    // The file exists at once: the call returned only after the child had finished.
    EXPECT_EQ(ReadFile(out), "-create/data/Corvane.dbc x\n");
}

TEST(RunAndWait, PassesArgumentsGivenApartWholeBlanksIncluded) {
    TempDir dir;
    WriteProbe(dir / "probe");
    const fs::path out = dir / "out.txt";
    EXPECT_TRUE(common::RunAndWait({(dir / "probe").string(), out.string(), "-create/My Practice/Corvane.dbc"}));
    EXPECT_EQ(ReadFile(out), "-create/My Practice/Corvane.dbc\n");
    EXPECT_FALSE(common::RunAndWait(std::vector<std::string>{}));
    EXPECT_FALSE(common::RunAndWait(std::vector<std::string>{""}));
}

TEST(RunAndWait, LooksForABareNameBesideTheProgramFirstThenAlongPath) {
    TempDir dir;
    const fs::path beside = fs::path(common::ProgramFolder()) / "archive-run-and-wait-probe";
    WriteProbe(beside);
    const fs::path out = dir / "out.txt";
    const bool ran = common::RunAndWait("archive-run-and-wait-probe " + out.string() + " beside");
    fs::remove(beside);
    EXPECT_TRUE(ran);
    EXPECT_EQ(ReadFile(out), "beside\n");

    EXPECT_TRUE(common::RunAndWait("true"));
    EXPECT_FALSE(common::RunAndWait("archive-no-such-program-anywhere"));
    EXPECT_FALSE(common::RunAndWait((dir / "missing").string()));
    EXPECT_FALSE(common::RunAndWait("   "));
}
