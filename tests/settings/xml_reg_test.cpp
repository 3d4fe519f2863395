#include "xml_reg_fixture.h"

using settings::CXMLReg;
using settings_test::kEmptyFile;
using settings_test::StoreTest;

TEST(CXMLRegName, FileIsAppPathSlashAppNameXml) {
    CXMLReg reg;
    EXPECT_EQ(reg.AppPath(), std::filesystem::read_symlink("/proc/self/exe").parent_path().string());
    EXPECT_TRUE(reg.EnableSave());
    reg.SetAppName("jdoe");
    reg.SetAppPath("/opt/corvane");
    EXPECT_EQ(reg.FileName(), "/opt/corvane/jdoe.xml");
    reg.SetAppPath("/opt/corvane/");
    EXPECT_EQ(reg.FileName(), "/opt/corvane/jdoe.xml");
    reg.SetAppPath("");
    EXPECT_EQ(reg.FileName(), std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/jdoe.xml");
}

TEST_F(StoreTest, MissingFileIsCreatedAsThreeLinesWithoutAReport) {
    EXPECT_EQ(reg.GetSetting("Recent Files", "RecentFile1", "none"), "none");
    EXPECT_EQ(Content(), kEmptyFile);
    EXPECT_TRUE(rec.calls.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "jdoe.xml.bak"));
}

TEST_F(StoreTest, SavedValuesAreFoundUnderTheCallersNames) {
    reg.SaveSetting("Look For", "1stVisit", "Patients");
    reg.SaveSetting("Look For", "(Old) Name", "Smith, Anne");
    const std::string text = Content();
    EXPECT_NE(text.find("<Look-For>"), std::string::npos) << text;
    EXPECT_NE(text.find("<n1stVisit>Patients</n1stVisit>"), std::string::npos) << text;
    EXPECT_NE(text.find("<FOld-Name>Smith, Anne</FOld-Name>"), std::string::npos) << text;
    EXPECT_EQ(reg.GetSetting("Look For", "1stVisit"), "Patients");
    EXPECT_EQ(ReadFresh("Look For", "1stVisit"), "Patients");
    EXPECT_EQ(ReadFresh("Look-For", "n1stVisit"), "Patients");  // sanitized names are stable
    EXPECT_EQ(ReadFresh("Look For", "(Old) Name"), "Smith, Anne");
    // A later save replaces the value.
    reg.SaveSetting("Look For", "1stVisit", "Cases & <Notes>");
    EXPECT_EQ(ReadFresh("Look For", "1stVisit"), "Cases & <Notes>");
}

TEST_F(StoreTest, AbsentOrEmptyElementGivesTheDefault) {
    testing_support::WriteFile(
        File(), "<?xml version=\"1.0\"?>\r\n<Data><S><Empty></Empty><Closed/><Full>1</Full></S></Data>\r\n");
    EXPECT_EQ(reg.GetSetting("S", "Empty", "d"), "d");
    EXPECT_EQ(reg.GetSetting("S", "Closed", "d"), "d");
    EXPECT_EQ(reg.GetSetting("S", "Missing", "d"), "d");
    EXPECT_EQ(reg.GetSetting("Other", "Full", "d"), "d");
    EXPECT_EQ(reg.GetSetting("S", "Full", "d"), "1");
    reg.SaveSetting("S", "Full", "");
    EXPECT_EQ(reg.GetSetting("S", "Full", "d"), "d");
    EXPECT_EQ(ReadFresh("S", "Full"), "<none>");
}

TEST_F(StoreTest, EmptyKeyOrSectionUsesSectionNameOrDoesNothing) {
    EXPECT_EQ(reg.GetSetting("S", "", "d"), "d");
    EXPECT_EQ(reg.GetSetting("", "K", "d"), "d");
    reg.SaveSetting("", "K", "v");
    reg.SaveSetting("S", "", "v");
    reg.DeleteSetting("", "");
    EXPECT_FALSE(std::filesystem::exists(File()));  // no call above needed the file

    reg.SetSectionName("Defaults");
    reg.SaveSetting("", "K", "v");
    EXPECT_EQ(reg.GetSetting("Defaults", "K", "d"), "v");
    EXPECT_EQ(reg.GetSetting("", "K", "d"), "v");
    reg.DeleteSetting("", "K");
    EXPECT_EQ(ReadFresh("Defaults", "K"), "<none>");
}

TEST_F(StoreTest, NestedKeysMakeElementChainsAndPlainKeysOneElement) {
    reg.SaveSettingEx("Grid", "Layout/Width", "120");
    reg.SaveSetting("Grid", "Layout/Width", "80");
    const std::string text = Content();
    EXPECT_NE(text.find("<Layout-Width>80</Layout-Width>"), std::string::npos) << text;
    EXPECT_NE(text.find("<Width>120</Width>"), std::string::npos) << text;
    EXPECT_EQ(ReadFresh("Grid", "Layout/Width", true), "120");
    EXPECT_EQ(ReadFresh("Grid", "Layout/Width", false), "80");
    // A nested section path, and a name inside the path that starts with a digit.
    reg.SaveSettingEx("Grid/Columns", "2/Caption", "Name");
    EXPECT_EQ(ReadFresh("Grid/Columns", "2/Caption", true), "Name");
    EXPECT_NE(Content().find("<n2>"), std::string::npos);
}

TEST_F(StoreTest, CdataValuesRoundTrip) {
    const std::string raw = "<b>bold</b> & \"quoted\"\n  second line ]]> end";
    reg.SaveSetting("Look For", "Query", "<![CDATA[" + raw);
    EXPECT_NE(Content().find("<![CDATA[<b>bold</b>"), std::string::npos) << Content();
    EXPECT_EQ(reg.GetSetting("Look For", "Query"), raw);
    EXPECT_EQ(ReadFresh("Look For", "Query"), raw);
    // A new value replaces the old one, whichever form either has.
    reg.SaveSetting("Look For", "Query", "<![CDATA[second");
    EXPECT_EQ(ReadFresh("Look For", "Query"), "second");
    reg.SaveSetting("Look For", "Query", "plain");
    EXPECT_EQ(ReadFresh("Look For", "Query"), "plain");
    EXPECT_EQ(Content().find("CDATA"), std::string::npos);
}

TEST_F(StoreTest, DeleteRemovesAKeyOrAWholeSection) {
    reg.SaveSetting("Recent Files", "RecentFile1", "/a");
    reg.SaveSetting("Recent Files", "RecentFile2", "/b");
    reg.SaveSetting("Other", "K", "v");
    reg.DeleteSetting("Recent Files", "RecentFile1");
    EXPECT_EQ(ReadFresh("Recent Files", "RecentFile1"), "<none>");
    EXPECT_EQ(ReadFresh("Recent Files", "RecentFile2"), "/b");
    reg.DeleteSetting("Recent Files");
    EXPECT_EQ(Content().find("Recent-Files"), std::string::npos) << Content();
    EXPECT_EQ(ReadFresh("Other", "K"), "v");
    reg.DeleteSetting("Nothing", "Here");
    EXPECT_EQ(ReadFresh("Other", "K"), "v");
}

TEST_F(StoreTest, NamesThatCannotBeElementsLeaveTheFileWellFormed) {
    reg.SaveSetting("S", "K", "kept");
    reg.SaveSetting("S", "a*b", "x");
    reg.SaveSetting("S", ".dot", "x");
    EXPECT_EQ(reg.GetSetting("S", "a*b", "d"), "d");
    EXPECT_EQ(ReadFresh("S", "K"), "kept");
    EXPECT_TRUE(rec.calls.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "jdoe.xml.bak"));
}
