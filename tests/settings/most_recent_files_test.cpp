#include "xml_reg_fixture.h"

#include <map>

#include "settings/most_recent_files.h"

using settings::CMostRecentFiles;
using settings_test::StoreTest;

namespace {

// A recent-files menu: entries by key, each with its position, checked against duplicates.
class FakeMenu final : public settings::RecentFilesItem {
public:
    void Add(int position, const std::string& key, const std::string& text) override {
        EXPECT_EQ(entries.count(key), 0u) << "key added twice: " << key;
        entries[key] = {position, text};
    }
    std::optional<std::string> Text(const std::string& key) const override {
        const auto it = entries.find(key);
        if (it == entries.end()) return std::nullopt;
        return it->second.second;
    }
    void Remove(const std::string& key) override { entries.erase(key); }

    // The texts in position order.
    std::vector<std::string> Shown() const {
        std::map<int, std::string> byPosition;
        for (const auto& [key, entry] : entries) byPosition[entry.first] = entry.second;
        std::vector<std::string> out;
        for (const auto& [position, text] : byPosition) out.push_back(text);
        return out;
    }

    std::map<std::string, std::pair<int, std::string>> entries;
};

class RecentFilesTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        recent.SetXMLFile(&reg);
        recent.SetRootKey("FILE");
        recent.SetMaxFiles(20);
        recent.SetMenuOffset(1);
        recent.SetSection("Recent Files");
    }
    void Store(int count) {
        for (int i = 1; i <= count; ++i) reg.SaveSetting("Recent Files", "RecentFile" + std::to_string(i), Name(i));
    }
    static std::string Name(int i) { return "/data/practice" + std::to_string(i) + "/Corvane.dbc"; }

    CMostRecentFiles recent;
    FakeMenu menu;
};

}  // namespace

TEST_F(RecentFilesTest, FirstRecordIsTheMostRecentFile) {
    EXPECT_EQ(recent.GetRecordNum(1), "");  // no such section yet
    Store(2);
    EXPECT_EQ(recent.GetRecordNum(1), Name(1));
    EXPECT_EQ(recent.GetRecordNum(2), Name(2));
    EXPECT_EQ(recent.GetRecordNum(3), "");
    EXPECT_NE(Content().find("<Recent-Files>"), std::string::npos);
}

TEST_F(RecentFilesTest, WithoutAStoreOrAMenuNothingHappens) {
    CMostRecentFiles bare;
    EXPECT_EQ(bare.GetRecordNum(1), "");
    EXPECT_EQ(bare.LoadToItem(), 0);
    EXPECT_EQ(bare.AddToItem("/x"), 0);
}

TEST_F(RecentFilesTest, MenuOffsetBelowOneIsStoredAsOne) {
    recent.SetMenuOffset(0);
    EXPECT_EQ(recent.MenuOffset(), 1);
    recent.SetMenuOffset(-7);
    EXPECT_EQ(recent.MenuOffset(), 1);
    recent.SetMenuOffset(4);
    EXPECT_EQ(recent.MenuOffset(), 4);
}

TEST_F(RecentFilesTest, LoadFillsTheMenuUntilTheFirstEmptyEntry) {
    Store(3);
    reg.SaveSetting("Recent Files", "RecentFile2", "");
    recent.SetMenuOffset(5);
    recent.SetItem(&menu);
    EXPECT_EQ(recent.LoadToItem(), 1);
    ASSERT_EQ(menu.entries.size(), 1u);
    EXPECT_EQ(menu.entries["FILE1"], (std::pair<int, std::string>{5, Name(1)}));
}

TEST_F(RecentFilesTest, AddingAListedFileMovesItToTheTop) {
    Store(4);
    recent.SetItem(&menu);
    recent.LoadToItem();
    EXPECT_EQ(recent.AddToItem(Name(3)), 1);
    const std::vector<std::string> expected{Name(3), Name(1), Name(2), Name(4)};
    EXPECT_EQ(menu.Shown(), expected);
    EXPECT_EQ(menu.entries["FILE1"].second, Name(3));
    EXPECT_EQ(menu.entries["FILE4"].second, Name(4));
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(ReadFresh("Recent Files", "RecentFile" + std::to_string(i)), expected[i - 1]);
    EXPECT_EQ(ReadFresh("Recent Files", "RecentFile5"), "<none>");
    EXPECT_TRUE(reg.EnableSave());
}

TEST_F(RecentFilesTest, TheTwentiethIsDroppedWhenTheListIsFull) {
    Store(20);
    recent.SetItem(&menu);
    recent.LoadToItem();
    recent.AddToItem("/new/Corvane.dbc");
    EXPECT_EQ(menu.entries.size(), 20u);
    EXPECT_EQ(recent.GetRecordNum(1), "/new/Corvane.dbc");
    for (int i = 2; i <= 20; ++i) EXPECT_EQ(recent.GetRecordNum(static_cast<int16_t>(i)), Name(i - 1));
    EXPECT_EQ(Content().find(Name(20)), std::string::npos);
}

TEST_F(RecentFilesTest, TheListIsWrittenOnceWithAllEntries) {
    Store(2);
    recent.SetItem(&menu);
    recent.LoadToItem();
    // Another program's change made before the add is replaced by the whole new list.
    const auto before = std::filesystem::last_write_time(File());
    recent.AddToItem("/new/Corvane.dbc");
    EXPECT_EQ(ReadFresh("Recent Files", "RecentFile1"), "/new/Corvane.dbc");
    EXPECT_EQ(ReadFresh("Recent Files", "RecentFile3"), Name(2));
    EXPECT_GE(std::filesystem::last_write_time(File()), before);
    // Adding to an empty menu gives a list of one.
    FakeMenu empty;
    recent.SetItem(&empty);
    recent.AddToItem("/only/Corvane.dbc");
    EXPECT_EQ(empty.Shown(), std::vector<std::string>{"/only/Corvane.dbc"});
    EXPECT_EQ(ReadFresh("Recent Files", "RecentFile2"), "<none>");
}

TEST_F(RecentFilesTest, TheDemoParameterFileNamesItsDatabaseFirst) {
    std::string text =
        testing_support::ReadFile(std::filesystem::path(ARCHIVE_SOURCE_DIR) / "demo" / "parameters.xml.in");
    const std::string placeholder = "@DATABASE@";
    const size_t at = text.find(placeholder);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, placeholder.size(), "/srv/demo/Data/Corvane.dbc");
    testing_support::WriteFile(File(), text);
    EXPECT_EQ(recent.GetRecordNum(1), "/srv/demo/Data/Corvane.dbc");
    EXPECT_EQ(recent.GetRecordNum(2), "");
    EXPECT_TRUE(rec.calls.empty());
}
