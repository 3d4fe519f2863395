#include "xml_reg_fixture.h"

#include <sys/stat.h>

#include "engine/error.h"

using settings_test::kEmptyFile;
using settings_test::StoreTest;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {
constexpr const char* kDamaged = "<?xml version=\"1.0\"?>\r\n<Data>\r\n  <S><K>v</S>\r\n</Data>\r\n";
}

TEST_F(StoreTest, AnotherProgramsChangeIsReadAgain) {
    reg.SaveSetting("S", "K", "mine");
    WriteAsOtherProgram("<?xml version=\"1.0\"?>\n<Data><S><K>theirs</K></S></Data>\n");
    EXPECT_EQ(reg.GetSetting("S", "K"), "theirs");
    // The store's own writes do not count as a change: the value saved stays.
    reg.SaveSetting("S", "K", "mine again");
    EXPECT_EQ(reg.GetSetting("S", "K"), "mine again");
}

TEST_F(StoreTest, ChangedPermissionsAloneCauseAReload) {
    reg.SaveSetting("S", "K", "mine");
    const auto stamp = std::filesystem::last_write_time(File());
    WriteFile(File(), "<?xml version=\"1.0\"?>\n<Data><S><K>theirs</K></S></Data>\n");
    std::filesystem::last_write_time(File(), stamp);
    EXPECT_EQ(reg.GetSetting("S", "K"), "mine");  // same second, same bits: not noticed
    std::filesystem::permissions(File(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(reg.GetSetting("S", "K"), "theirs");
}

TEST_F(StoreTest, WithSavingOffChangesWaitForSaveFile) {
    reg.SaveSetting("S", "K", "first");
    const std::string before = Content();
    reg.SetEnableSave(false);
    reg.SaveSetting("S", "K", "second");
    reg.SaveSetting("S", "New", "added");
    EXPECT_EQ(Content(), before);
    EXPECT_EQ(reg.GetSetting("S", "K"), "second");
    reg.SaveFile();
    EXPECT_EQ(ReadFresh("S", "K"), "second");
    EXPECT_EQ(ReadFresh("S", "New"), "added");
    reg.SetEnableSave(true);
}

TEST_F(StoreTest, AReloadDiscardsChangesNotYetSaved) {
    reg.SaveSetting("S", "K", "first");
    reg.SetEnableSave(false);
    reg.SaveSetting("S", "K", "unsaved");
    WriteAsOtherProgram("<?xml version=\"1.0\"?>\n<Data><S><K>theirs</K></S></Data>\n");
    EXPECT_EQ(reg.GetSetting("S", "K"), "theirs");
    reg.SaveFile();
    EXPECT_EQ(ReadFresh("S", "K"), "theirs");
}

TEST_F(StoreTest, DamagedFileIsSetAsideReportedOnceAndReplaced) {
    WriteFile(File(), kDamaged);
    EXPECT_EQ(reg.GetSetting("S", "K", "default"), "default");
    // Line 3, position 12: the name of the closing tag that does not match.

    const std::string file = File().string();
    const std::string expected = "CXMLReg/ReadFileAsRequired:  \r\n\r\nXML error in file:  \r\n" + file +
                                 "\r\nLine:  3\r\nLine Pos: 12\r\nReason:  Start-end tags mismatch\r\n"
                                 "A copy of the file has been renamed as:\r\n" +
                                 file + ".bak";
    const auto shown = rec.Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, expected);
    EXPECT_EQ(shown[0].title, "Archive");
    EXPECT_EQ(shown[0].icon, ui::Icon::Exclamation);
    EXPECT_EQ(ReadFile(dir / "jdoe.xml.bak"), kDamaged);
    EXPECT_EQ(Content(), kEmptyFile);
    EXPECT_NE(ReadFile(dir / "Corvane.log").find("XML error in file:"), std::string::npos);

    // Later accesses use the new file without another report.
    reg.SaveSetting("S", "K", "v");
    EXPECT_EQ(reg.GetSetting("S", "K"), "v");
    EXPECT_EQ(rec.Messages().size(), 1u);
}

TEST_F(StoreTest, FileDamagedByAnotherProgramIsSetAsideOnTheNextSave) {
    reg.SaveSetting("S", "K", "mine");
    WriteAsOtherProgram("");  // an empty file is no document either
    reg.SaveSetting("S", "Other", "v");
    ASSERT_EQ(rec.Messages().size(), 1u);
    EXPECT_NE(rec.Messages()[0].text.find("Reason:  No document element found"), std::string::npos);
    EXPECT_EQ(ReadFile(dir / "jdoe.xml.bak"), "");
    EXPECT_EQ(ReadFresh("S", "Other"), "v");
    EXPECT_EQ(ReadFresh("S", "K"), "<none>");
}

TEST_F(StoreTest, SavesReplaceTheFileAndKeepItsPermissions) {
    reg.SaveSetting("S", "K", "one");
    ::chmod(File().c_str(), 0640);
    reg.SaveSetting("S", "K", "two");
    struct stat st {};
    ASSERT_EQ(::stat(File().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    // Nothing but the parameter file (and the log) is left in the folder.
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_TRUE(entry.path().filename() == "jdoe.xml" || entry.path().filename() == "Corvane.log") << entry.path();
}

TEST_F(StoreTest, ALinkedParameterFileStaysALink) {
    std::filesystem::create_directory(dir / "real");
    WriteFile(dir / "real" / "shared.xml", kEmptyFile);
    std::filesystem::create_symlink(dir / "real" / "shared.xml", File());
    reg.SaveSetting("S", "K", "v");
    EXPECT_TRUE(std::filesystem::is_symlink(File()));
    EXPECT_NE(ReadFile(dir / "real" / "shared.xml").find("<K>v</K>"), std::string::npos);
}

TEST_F(StoreTest, AMissingFolderGivesDefaultsSilently) {
    reg.SetAppPath((dir / "no-such-folder").string());
    EXPECT_EQ(reg.GetSetting("S", "K", "d"), "d");
    reg.SaveSetting("S", "K", "v");
    reg.DeleteSetting("S", "K");
    EXPECT_THROW(reg.SaveFile(), engine::Error);
    EXPECT_FALSE(std::filesystem::exists(dir / "no-such-folder"));
    EXPECT_TRUE(rec.calls.empty());
}

TEST_F(StoreTest, ChangingTheNameUsesTheNewFileForReadingAndWriting) {
    reg.SaveSetting("S", "K", "for jdoe");
    reg.SetAppName("asmith");
    reg.SaveSetting("S", "K", "for asmith");
    EXPECT_EQ(ReadFresh("S", "K"), "for jdoe");
    EXPECT_NE(ReadFile(dir / "asmith.xml").find("for asmith"), std::string::npos);
    reg.SetAppName("jdoe");
    reg.ClearReadFlags();
    EXPECT_EQ(reg.GetSetting("S", "K"), "for jdoe");
}

TEST_F(StoreTest, AFileNestedThousandsDeepIsSetAsideAsDamaged) {
    // Written back with one indent per level it would grow to gigabytes.
    std::string deep = "<?xml version=\"1.0\"?>\r\n<Data>\r\n<S><K>v</K></S>";
    for (int i = 0; i < 50000; ++i) deep += "<a>";
    for (int i = 0; i < 50000; ++i) deep += "</a>";
    deep += "\r\n</Data>\r\n";
    WriteFile(File(), deep);
    EXPECT_EQ(reg.GetSetting("S", "K", "default"), "default");
    const auto shown = rec.Messages();
    ASSERT_EQ(shown.size(), 1u);
    // The name of the hundredth <a>, the first element more than 100 levels down.
    EXPECT_NE(shown[0].text.find("\r\nLine:  3\r\nLine Pos: 314\r\nReason:  Elements are nested too deeply\r\n"),
              std::string::npos)
        << shown[0].text;
    EXPECT_EQ(ReadFile(dir / "jdoe.xml.bak"), deep);
    EXPECT_EQ(Content(), kEmptyFile);

    // Nesting as deep as nested keys go is kept.
    reg.SaveSettingEx("A/B/C/D/E/F/G/H", "I/J/K/L", "deep");
    EXPECT_EQ(ReadFresh("A/B/C/D/E/F/G/H", "I/J/K/L", true), "deep");
}
