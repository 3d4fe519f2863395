#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "common/recording_ui.h"
#include "folders/folder_bar_loading.h"
#include "folders/folder_file.h"
#include "folders/xml_tools.h"

namespace folders {
namespace {

// The bar as the main window designs it.
FolderBarModel DesignBar() {
    FolderBarModel bar;
    bar.Add("Corvane", "Corvane", "Corvane", 0, kFolderItemStyle);
    bar.Add("Patients", "Patients", "Patients", 1, kFolderItemStyle);
    return bar;
}

using Row = std::tuple<int, std::string, std::string, int, int>;  // position, key, caption, indent, style

std::vector<Row> Rows(const FolderBarModel& bar) {
    std::vector<Row> rows;
    for (const FolderBarItem& item : bar.Items())
        rows.emplace_back(item.Position, item.Key, item.Caption, item.Indent, item.Style);
    return rows;
}

TEST(LoadSubFolders, InsertsShownSubFoldersBelowTheirParentInFileOrder) {
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(R"(<Data>
      <Patients><SubFolder>Active Patients</SubFolder><Display>True</Display></Patients>
      <Patients><Display>False</Display><SubFolder>Hidden</SubFolder></Patients>
      <Patients><Display>true</Display><SubFolder>Lower Case</SubFolder></Patients>
      <Patients><Display>True </Display><SubFolder>Padded</SubFolder></Patients>
      <Patients><Display>True</Display></Patients>
      <Referral-Sources><SubFolder>By Doctor</SubFolder></Referral-Sources>
      <Patients><SubFolder>Patients by Birthday</SubFolder></Patients>
      <Folder><Name>Patients</Name></Folder>
    </Data>)"));
    FolderBarModel bar = DesignBar();
    bar.Add("Referral Sources", "Referral Sources", "Referral Sources", 1, kFolderItemStyle);
    bar.Add("Reports", "Reports", "", 0, kFolderItemStyle);
    bar.Add("Referrals", "Referrals", "", 1, kFolderItemStyle);  // nothing for it in the file
    bar.MarkSelected("Patients");

    LoadSubFolders(bar, doc);

    const std::vector<Row> expected = {
        {1, "Corvane", "Corvane", 0, 901},
        {2, "Patients", "Patients", 1, 901},
        {3, "Active Patients", "Active Patients", 2, 901},
        {4, "Patients by Birthday", "Patients by Birthday", 2, 901},
        {5, "Referral Sources", "Referral Sources", 1, 901},
        {6, "By Doctor", "By Doctor", 2, 901},
        {7, "Reports", "Reports", 0, 901},
        {8, "Referrals", "Referrals", 1, 901},
    };
    EXPECT_EQ(Rows(bar), expected);
    EXPECT_EQ(bar.Item(3).ImageKey, "");
    EXPECT_EQ(bar.SelectedPosition(), 2);  // the selection moves with its item
    EXPECT_EQ(bar.CurrentPosition(), 6);   // the last item inserted
}

TEST(LoadSubFolders, AnEmptyDocumentLeavesTheBarAsDesigned) {
    const pugi::xml_document doc;
    FolderBarModel bar = DesignBar();
    LoadSubFolders(bar, doc);
    EXPECT_EQ(bar.Count(), 2);
}

TEST(FolderLayoutFile, AHeadingOpensNothingAndAFolderItsLayout) {
    ui::RecordingUi recorder;
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(R"(<Data>
      <Folder><Name>Active Patients</Name><Layout> sub\active.lyt </Layout><LookInTitle>t</LookInTitle></Folder>
      <Folder><Name>No Layout</Name><LookInTitle>t</LookInTitle></Folder>
    </Data>)"));
    FolderBarModel bar = DesignBar();
    bar.Insert(3, "Active Patients", "Active Patients", "", kFolderItemStyle);
    bar.SetIndent(3, 2);
    bar.Add("No Layout", "No Layout", "", 1, kFolderItemStyle);

    EXPECT_EQ(FolderLayoutFile(bar.Item(1), doc, "/app"), std::nullopt);
    EXPECT_TRUE(recorder.Messages().empty());
    EXPECT_EQ(FolderLayoutFile(bar.Item(3), doc, "/app").value_or(""), "/app/etc/sub/active.lyt");
    EXPECT_EQ(FolderLayoutFile(bar.Item(4), doc, "/app"), std::nullopt);
    EXPECT_TRUE(recorder.Messages().empty());

    // An undefined folder: the user is told, and the grid is left as it is.
    EXPECT_EQ(FolderLayoutFile(bar.Item(2), doc, "/app"), std::nullopt);
    ASSERT_EQ(recorder.Messages().size(), 1u);
    EXPECT_EQ(recorder.Messages()[0].text, "Folders/LookFor database is malfunctioning (Get).  Contact support.");
}

TEST(DemoFolderFile, FillsTheBarAndDefinesEveryVisibleFolder) {
    ui::RecordingUi recorder;
    pugi::xml_document doc;
    ASSERT_TRUE(ReadFolderFile(ARCHIVE_SOURCE_DIR "/demo", doc));
    FolderBarModel bar = DesignBar();
    LoadSubFolders(bar, doc);
    const std::vector<Row> expected = {
        {1, "Corvane", "Corvane", 0, 901},
        {2, "Patients", "Patients", 1, 901},
        {3, "Active Patients", "Active Patients", 2, 901},
        {4, "Patients by Birthday", "Patients by Birthday", 2, 901},
    };
    EXPECT_EQ(Rows(bar), expected);
    const char* const layouts[] = {"patients.lyt", "active.lyt", "birthdays.lyt"};
    for (int position = 2; position <= 4; ++position) {
        SCOPED_TRACE(bar.Item(position).Key);
        EXPECT_EQ(FolderLayoutFile(bar.Item(position), doc, "/app").value_or(""),
                  std::string("/app/etc/") + layouts[position - 2]);
        std::string titles;
        GetLookInTitles(doc, bar.Item(position).Key, titles);
        EXPECT_FALSE(titles.empty());
        EXPECT_FALSE(GetLookInQuery(doc, bar.Item(position).Key, "").empty());
    }
    EXPECT_TRUE(recorder.Messages().empty());
}

}  // namespace
}  // namespace folders
