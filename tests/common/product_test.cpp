#include <gtest/gtest.h>

#include "common/product.h"
#include "common/recording_ui.h"
#include "support/temp_dir.h"

#include <regex>

using product::ComposeLogText;
using testing_support::ReadFile;
using testing_support::TempDir;

TEST(ComposeLogText, JoinsModuleProcedureAndText) {
    EXPECT_EQ(ComposeLogText("frmArchive", "Form_Load", "AppPath = /data"), "frmArchive/Form_Load:  AppPath = /data");
    EXPECT_EQ(ComposeLogText("frmArchive", "EmptyPatientTables", std::nullopt), "frmArchive/EmptyPatientTables");
    EXPECT_EQ(ComposeLogText("frmArchive", std::nullopt, "text"), "frmArchive/text");
    EXPECT_EQ(ComposeLogText(std::nullopt, std::nullopt, "text"), "text");
    EXPECT_EQ(ComposeLogText(std::nullopt, "Proc", "text"), "Proc:  text");
    EXPECT_EQ(ComposeLogText(std::nullopt, std::nullopt, std::nullopt), "");
}

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        product::LogFile = (dir / "Corvane.log").string();
        product::DebugFlags = 0;
    }
    void TearDown() override {
        product::LogFile.clear();
        product::DebugFlags = 0;
    }
    // The text parts of the log lines (after the date and the TAB), checking the CR LF endings.
    std::vector<std::string> LogTexts() {
        std::vector<std::string> out;
        const std::string all = ReadFile(dir / "Corvane.log");
        size_t pos = 0;
        while (pos < all.size()) {
            const size_t end = all.find("\r\n", pos);
            EXPECT_NE(end, std::string::npos) << "line without CR LF";
            if (end == std::string::npos) break;
            const std::string line = all.substr(pos, end - pos);
            const size_t tab = line.find('\t');
            EXPECT_NE(tab, std::string::npos);
            out.push_back(line.substr(tab + 1));
            pos = end + 2;
        }
        return out;
    }
    TempDir dir;
    ui::RecordingUi rec;
};

TEST_F(LogTest, SilentWhenFlagsAreZero) {
    product::WriteLog("m", "p", "t");
    EXPECT_TRUE(ReadFile(dir / "Corvane.log").empty());
    EXPECT_TRUE(rec.calls.empty());
}

TEST_F(LogTest, LinesAppendInCallOrderAfterExistingContent) {
    testing_support::WriteFile(dir / "Corvane.log", "old\tline\r\n");
    product::DebugFlags = 1;
    product::WriteLog("a", "b", "first");
    product::WriteLog(std::nullopt, std::nullopt, "second");
    EXPECT_EQ(LogTexts(), (std::vector<std::string>{"line", "a/b:  first", "second"}));
}

TEST_F(LogTest, DateIsUsGeneralForm) {
    product::DebugFlags = 1;
    product::WriteLog("m", "p", "t");
    const std::string all = ReadFile(dir / "Corvane.log");
    const std::string stamp = all.substr(0, all.find('\t'));
    EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d{1,2}/\d{1,2}/\d{4} \d{1,2}:\d\d:\d\d [AP]M)"))) << stamp;
}

TEST_F(LogTest, DebugBoxOnBitOne) {
    product::DebugFlags = 2;
    product::WriteLog("m", "p", "t");
    ASSERT_EQ(rec.Messages().size(), 1u);
    EXPECT_EQ(rec.Messages()[0].text, "m/p:  t");
    EXPECT_EQ(rec.Messages()[0].title, "Corvane Debug");
    EXPECT_EQ(rec.Messages()[0].icon, ui::Icon::Information);
    EXPECT_TRUE(ReadFile(dir / "Corvane.log").empty());
}

TEST_F(LogTest, ReportErrorLogsEvenWhenSilentAndRestoresFlags) {
    product::ReportError("AdoTools", "Connect_DBC", "Error #: 1, Descr: x", false);
    EXPECT_EQ(product::DebugFlags, 0);
    EXPECT_EQ(LogTexts(), (std::vector<std::string>{"AdoTools/Connect_DBC:  Error #: 1, Descr: x"}));
    EXPECT_TRUE(rec.calls.empty());
}

TEST_F(LogTest, ReportErrorWithBoxesOnlyShowsTwiceAndRestoresFlags) {
    product::DebugFlags = 2;
    product::ReportError("m", "p", "msg");
    EXPECT_EQ(product::DebugFlags, 2);
    const auto shown = rec.Messages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].title, "Archive");
    EXPECT_EQ(shown[0].icon, ui::Icon::Exclamation);
    EXPECT_EQ(shown[0].text, "m/p:  msg");
    EXPECT_EQ(shown[1].title, "Corvane Debug");
    EXPECT_EQ(shown[1].text, "m/p:  msg");
    EXPECT_EQ(LogTexts(), (std::vector<std::string>{"m/p:  msg"}));
}

TEST_F(LogTest, MissingFolderWritesNothingAndDoesNotThrow) {
    product::LogFile = (dir / "no-such-folder" / "Corvane.log").string();
    product::DebugFlags = 1;
    EXPECT_NO_THROW(product::WriteLog("m", "p", "t"));
    EXPECT_NO_THROW(product::ReportError("m", "p", "t", false));
    EXPECT_FALSE(std::filesystem::exists(dir / "no-such-folder"));
}
