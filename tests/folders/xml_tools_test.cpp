#include <gtest/gtest.h>

#include "common/recording_ui.h"
#include "folders/xml_tools.h"

namespace folders {
namespace {

pugi::xml_document Parse(const std::string& xml) {
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_string(xml.c_str()));
    return doc;
}

std::string Message(const std::string& where) {
    return "Folders/LookFor database is malfunctioning (" + where + ").  Contact support.";
}

// Exactly one exclamation box titled "Archive" with that text was shown.
void ExpectOneMessage(const ui::RecordingUi& recorder, const std::string& text) {
    const auto shown = recorder.Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, text);
    EXPECT_EQ(shown[0].icon, ui::Icon::Exclamation);
    EXPECT_EQ(shown[0].title, "Archive");
}

const char* const kFolders = R"(<Data>
  <Folder><Name>Patients</Name><ViewType> Table </ViewType><Layout>  first.lyt </Layout></Folder>
  <Folder><Name>Patients</Name><IsDefault>True</IsDefault><ViewType> Cards</ViewType><Layout>patients.lyt </Layout>
    <EnableLookFor>true</EnableLookFor></Folder>
  <Folder><Name>Doctors</Name><Layout>doctors.lyt</Layout><EnableLookFor>yes</EnableLookFor><LookInTitle>Own pick</LookInTitle></Folder>
  <Folder><Name>Referrals</Name><Layout>ref.lyt</Layout><IsDefault>true</IsDefault><LookInTitle/></Folder>
  <Folder><Name>Referrals</Name><Layout>ref2.lyt</Layout></Folder>
  <Folder><Name>Active</Name><Layout>active.lyt</Layout><LookForFolder>Patients</LookForFolder></Folder>
  <Folder><Name>Lonely</Name><Layout>lonely.lyt</Layout></Folder>
  <Folder><Name>Pointing</Name><LookForFolder>Nowhere</LookForFolder></Folder>
  <LookIn><Folder>Patients</Folder><Title>Last Name</Title><Query>LastNam = x</Query></LookIn>
  <LookIn><Folder>Patients</Folder><Query>Untitled = x</Query><IsDefault>True</IsDefault></LookIn>
  <LookIn><Folder>Patients</Folder><Title>Account</Title><IsDefault>True</IsDefault><Query>PtNum = x</Query></LookIn>
  <LookIn><Folder>Patients</Folder><Title>Phone</Title><IsDefault>true</IsDefault><Query>HomPhone = x</Query></LookIn>
  <LookIn><Folder>Doctors</Folder><Title>Name</Title><Query>Name in x</Query></LookIn>
  <LookIn><Folder>Doctors</Folder><Title>Code</Title><IsDefault>True</IsDefault><Query>Code = x</Query></LookIn>
  <LookIn><Folder>Doctors</Folder><Title>Number</Title><IsDefault>True</IsDefault><Query>Num = x</Query></LookIn>
  <LookIn><Folder>Bare</Folder><Title>Only</Title></LookIn>
</Data>)";

TEST(LoadFolder, PrefersTheDefinitionMarkedDefaultAndTrimsViewSettings) {
    ui::RecordingUi recorder;
    const auto doc = Parse(kFolders);
    FolderDefinition definition;
    ASSERT_TRUE(LoadFolder("Patients", doc, definition));
    EXPECT_EQ(definition.Name, "Patients");
    EXPECT_EQ(definition.ViewType, "Cards");
    EXPECT_EQ(definition.Layout, "patients.lyt");
    EXPECT_TRUE(definition.EnableLookFor);           // "true" in any case enables
    EXPECT_EQ(definition.LookInTitle, "Last Name");  // no LookInTitle: the first listed title

    // IsDefault must be exactly "True"; otherwise the first definition of the name is used.
    ASSERT_TRUE(LoadFolder("Referrals", doc, definition));
    EXPECT_EQ(definition.Layout, "ref.lyt");
    EXPECT_TRUE(definition.EnableLookFor);  // absent enables
    EXPECT_TRUE(recorder.Messages().empty());
}

TEST(LoadFolder, TakesTheOwnLookInTitleAndReadsEnableLookForStrictly) {
    ui::RecordingUi recorder;
    const auto doc = Parse(kFolders);
    FolderDefinition definition;
    ASSERT_TRUE(LoadFolder("Doctors", doc, definition));
    EXPECT_EQ(definition.LookInTitle, "Own pick");
    EXPECT_FALSE(definition.EnableLookFor);  // "yes" is not "TRUE"
    EXPECT_EQ(definition.ViewType, "");

    // A folder without entries of its own lists those of its LookForFolder.
    ASSERT_TRUE(LoadFolder("Active", doc, definition));
    EXPECT_EQ(definition.LookInTitle, "Last Name");
    EXPECT_TRUE(recorder.Messages().empty());
}

TEST(LoadFolder, EmptyOrUndefinedNamesFillNothing) {
    ui::RecordingUi recorder;
    const auto doc = Parse(kFolders);
    FolderDefinition definition;
    definition.Layout = "kept.lyt";
    EXPECT_FALSE(LoadFolder("", doc, definition));
    EXPECT_TRUE(recorder.Messages().empty());
    EXPECT_FALSE(LoadFolder("Unknown", doc, definition));
    ExpectOneMessage(recorder, Message("Get"));
    EXPECT_EQ(definition.Layout, "kept.lyt");
}

TEST(LoadFolder, AFolderWithoutAnyLookForEntriesStillLoadsAfterTheWarning) {
    ui::RecordingUi recorder;
    const auto doc = Parse(kFolders);
    FolderDefinition definition;
    ASSERT_TRUE(LoadFolder("Lonely", doc, definition));
    EXPECT_EQ(definition.Layout, "lonely.lyt");
    EXPECT_EQ(definition.LookInTitle, "");
    ExpectOneMessage(recorder, Message("Get 2"));
}

TEST(GetLookInTitles, JoinsTitlesAndCountsTheDefaultAmongListedEntriesOnly) {
    ui::RecordingUi recorder;
    const auto doc = Parse(kFolders);
    std::string titles = "stale";
    // The untitled entry is neither listed nor counted; "true" in lower case marks nothing.
    EXPECT_EQ(GetLookInTitles(doc, "Patients", titles), 1);
    EXPECT_EQ(titles, "Last Name;Account;Phone");
    // Two marked entries: the last one wins.
    EXPECT_EQ(GetLookInTitles(doc, "Doctors", titles), 2);
    EXPECT_EQ(titles, "Name;Code;Number");
    EXPECT_EQ(GetLookInTitles(doc, "Bare", titles), 0);
    EXPECT_EQ(titles, "Only");
    EXPECT_TRUE(recorder.Messages().empty());
}

TEST(GetLookInTitles, FallsBackToTheLookForFolder) {
    ui::RecordingUi recorder;
    const auto doc = Parse(kFolders);
    std::string titles;
    EXPECT_EQ(GetLookInTitles(doc, "Active", titles), 1);
    EXPECT_EQ(titles, "Last Name;Account;Phone");
    EXPECT_TRUE(recorder.Messages().empty());
}

TEST(GetLookInTitles, NamesEachMissingLinkOfTheFallback) {
    const auto doc = Parse(kFolders);
    const std::pair<const char*, const char*> cases[] = {
        {"Unknown", "Get 1"}, {"Lonely", "Get 2"}, {"Pointing", "Get 3"}};
    for (const auto& [folder, where] : cases) {
        SCOPED_TRACE(folder);
        ui::RecordingUi recorder;
        std::string titles = "stale";
        EXPECT_EQ(GetLookInTitles(doc, folder, titles), 0);
        EXPECT_EQ(titles, "");
        ExpectOneMessage(recorder, Message(where));
    }
}

TEST(GetLookInQuery, FindsTheTitledQueryElseTheFolderFirstQuery) {
    ui::RecordingUi recorder;
    const auto doc = Parse(kFolders);
    EXPECT_EQ(GetLookInQuery(doc, "Patients", "Account"), "PtNum = x");
    EXPECT_EQ(GetLookInQuery(doc, "Patients", "No such title"), "LastNam = x");
    EXPECT_EQ(GetLookInQuery(doc, "Active", "Phone"), "HomPhone = x");
    EXPECT_EQ(GetLookInQuery(doc, "Active", ""), "LastNam = x");
    // Entries without any Query: the first entry's whole text.
    EXPECT_EQ(GetLookInQuery(doc, "Bare", "Only"), "BareOnly");
    EXPECT_TRUE(recorder.Messages().empty());
}

TEST(GetLookInQuery, NamesEachMissingLinkOfTheFallback) {
    const auto doc = Parse(kFolders);
    const std::pair<const char*, const char*> cases[] = {
        {"Unknown", "Query 1"}, {"Lonely", "Query 2"}, {"Pointing", "Query 3"}};
    for (const auto& [folder, where] : cases) {
        SCOPED_TRACE(folder);
        ui::RecordingUi recorder;
        EXPECT_EQ(GetLookInQuery(doc, folder, "Last Name"), "");
        ExpectOneMessage(recorder, Message(where));
    }
}

TEST(XmlTools, NamesWithQuotesAndBracketsAreMatchedAsPlainText) {
    ui::RecordingUi recorder;
    const auto doc = Parse(R"(<Data>
      <Folder><Name>O"Brien's [list]</Name><Layout>obrien.lyt</Layout></Folder>
      <LookIn><Folder>O"Brien's [list]</Folder><Title>It's "quoted"</Title><Query>Q = x</Query></LookIn>
    </Data>)");
    FolderDefinition definition;
    ASSERT_TRUE(LoadFolder("O\"Brien's [list]", doc, definition));
    EXPECT_EQ(definition.Layout, "obrien.lyt");
    EXPECT_EQ(definition.LookInTitle, "It's \"quoted\"");
    EXPECT_EQ(GetLookInQuery(doc, "O\"Brien's [list]", "It's \"quoted\""), "Q = x");
    // A name that would change a path's meaning finds nothing instead.
    EXPECT_FALSE(LoadFolder("x\" or \"1\"=\"1", doc, definition));
    ExpectOneMessage(recorder, Message("Get"));
}

TEST(XmlTools, AnEmptyDocumentGivesTheMessagesNotAFailure) {
    ui::RecordingUi recorder;
    const pugi::xml_document doc;
    FolderDefinition definition;
    std::string titles;
    EXPECT_FALSE(LoadFolder("Patients", doc, definition));
    EXPECT_EQ(GetLookInTitles(doc, "Patients", titles), 0);
    EXPECT_EQ(GetLookInQuery(doc, "Patients", "Last Name"), "");
    const auto shown = recorder.Messages();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, Message("Get"));
    EXPECT_EQ(shown[1].text, Message("Get 1"));
    EXPECT_EQ(shown[2].text, Message("Query 1"));
}

TEST(XmlTools, TextNestedThousandsDeepIsReadWhole) {
    std::string xml = "<Data><Folder><Name>Deep</Name><Layout>";
    for (int i = 0; i < 200000; ++i) xml += "<a>";
    xml += "deep.lyt";
    for (int i = 0; i < 200000; ++i) xml += "</a>";
    xml += "<b>x</b>y</Layout></Folder><LookIn><Folder>Deep</Folder><Title>T</Title></LookIn></Data>";
    const pugi::xml_document doc = Parse(xml);
    ui::RecordingUi recorder;
    FolderDefinition definition;
    ASSERT_TRUE(LoadFolder("Deep", doc, definition));
    EXPECT_EQ(definition.Layout, "deep.lytxy");
    EXPECT_EQ(NodeText(doc.child("Data")), "Deepdeep.lytxyDeepT");
}

}  // namespace
}  // namespace folders
