#include <gtest/gtest.h>

#include <cmath>

#include "common/recording_ui.h"
#include "find_test_data.h"
#include "folders/record_search.h"
#include "views/memory_record_source.h"
#include "views/record_grid.h"
#include "views/recordset_source.h"

namespace {

using folders::FindInGrid;
using folders::ParseCondition;
using folders::PlanSearch;
using folders::SearchPlan;

struct ConditionCase {
    const char* condition;
    const char* field1;
    const char* field2;
};

TEST(ParseConditionTest, NamesTheFieldsOfEachQueryForm) {
    const ConditionCase cases[] = {
        {"LastNam = x", "LastNam", ""},  // fewer than five words: no second field
        {"LastNam = x and", "LastNam", ""},
        {"Name in x", "Name", ""},
        {"FirstNam = x and LastNam = x", "FirstNam", "LastNam"},
        {"FirstNam = x or LastNam = x", "FirstNam", "LastNam"},
        {"[Last Name] = x", "Last Name", ""},
        {"[Last Name] in x", "Last Name", ""},
        {"[Last Name] = x or [First Name] = x", "Last Name", "First Name"},
        {"[Last Name] = x and [First Name] = x", "Last Name", "First Name"},
        {"[Last Name] = x and First Name = x", "Last Name", "First Name"},
        {"PtNum = x and [Last Name] = x", "PtNum", "Last Name"},
    };
    for (const ConditionCase& c : cases) {
        std::string field1, field2 = "left over";
        ParseCondition(c.condition, field1, field2);
        EXPECT_EQ(field1, c.field1) << c.condition;
        EXPECT_EQ(field2, c.field2) << c.condition;
    }
}

TEST(PlanSearchTest, SplitsTheTypedTextByTheQueryForm) {
    // AND with a comma: the part before it goes to the second field.
    SearchPlan plan = PlanSearch("FirstNam = x AND LastNam = x", "Smith,  JOhn ");
    EXPECT_EQ(plan.mode, SearchPlan::Mode::And);
    EXPECT_EQ(plan.text2, "smith");
    EXPECT_EQ(plan.text1, "john");
    // AND without a blank: a one-field search of the second field, untrimmed.
    plan = PlanSearch("FirstNam = x and LastNam = x", "Smi");
    EXPECT_EQ(plan.mode, SearchPlan::Mode::OneField);
    EXPECT_EQ(plan.field1, "LastNam");
    EXPECT_EQ(plan.text1, "smi");
    // AND with a blank and no comma: first word to the first field.
    plan = PlanSearch("FirstNam = x and LastNam = x", "John Smith");
    EXPECT_EQ(plan.mode, SearchPlan::Mode::And);
    EXPECT_EQ(plan.text1, "john");
    EXPECT_EQ(plan.text2, "smith");
    // OR with three words: only the first is searched.
    plan = PlanSearch("FirstNam = x Or LastNam = x", "ann van dyke");
    EXPECT_EQ(plan.mode, SearchPlan::Mode::Or);
    EXPECT_EQ(plan.text1, "ann");
    EXPECT_EQ(plan.text2, "");
    plan = PlanSearch("Name IN x", "  Ann ");
    EXPECT_EQ(plan.mode, SearchPlan::Mode::Contains);
    EXPECT_EQ(plan.text1, "ann");
    // " and " must follow something: a query that begins with it is no AND query.
    EXPECT_EQ(PlanSearch(" and x", "a").mode, SearchPlan::Mode::OneField);
}

// A record grid over the known patients of a generated database, in PtNum order, with the
// column names the queries use.
class FindInGridTest : public ::testing::Test {
protected:
    void SetUp() override {
        recordset = data.Open(
            "SELECT PtNum, LastNam AS [Last Name], FirstNam AS [First Name], "
            "ALLTRIM(FirstNam) + ' ' + ALLTRIM(LastNam) AS Name FROM IdentFil ORDER BY PtNum");
        grid.Columns().Add("Patient Number", "PtNum");
        grid.Columns().Add("Last Name", "Last Name");
        grid.SetBoundRecordset(std::make_shared<views::RecordsetSource>(recordset));
    }
    // Runs one search and answers the patient number of the grid's selected row (0 for none).
    long Find(const std::string& query, const std::string& text, bool restart) {
        FindInGrid(grid, position, query, text, restart);
        EXPECT_FALSE(restart);
        return SelectedPatient();
    }
    long SelectedPatient() {
        const views::SelectedRowList selected = grid.SelectedRows();
        if (selected.Count() != 1) return 0;
        return PatientOfRow(selected.Item(1).RowIndex);
    }
    long PatientOfRow(int rowIndex) {
        const auto reader = recordset->Clone();
        reader->SetBookmark(static_cast<double>(grid.RowBookmark(rowIndex)));
        return static_cast<long>(reader->Fields().Item("PtNum").Value().As<int64_t>());
    }

    ui::RecordingUi ui;
    folders_testing::FindTestData data;
    std::shared_ptr<engine::api::Recordset> recordset;
    views::RecordGrid grid;
    int32_t position = 0;
};

TEST_F(FindInGridTest, TwoFieldAndQueryMatchesTheTextBeforeTheCommaAgainstTheSecondField) {
    const std::string query = "[Last Name] = x and [First Name] = x";
    // "smi" alone searches the second field: the first First Name starting with smi.
    EXPECT_EQ(Find(query, "smi", true), 1);   // Jones, Smita
    EXPECT_EQ(Find(query, "smi", false), 6);  // Jordan, Smithy
    // "smith, jo" needs First Name smith... and Last Name jo...
    EXPECT_EQ(Find(query, "smith, jo", true), 6);
    EXPECT_EQ(position, 6);
    // Written first name first, the same search reads as "last name, first name".
    const std::string byLastName = "[First Name] = x and [Last Name] = x";
    EXPECT_EQ(Find(byLastName, "SMI", true), 2);
    EXPECT_EQ(Find(byLastName, "smith, jo", true), 2);
    EXPECT_EQ(Find(byLastName, "john smith", true), 2);
    // The grid's recordset stands on the record found.
    EXPECT_EQ(std::llround(recordset->Bookmark()), grid.RowBookmark(2));
}

TEST_F(FindInGridTest, FindNextGoesOnAfterTheLastMatchAndWrapsOnceToTheFirst) {
    const std::string query = "[First Name] = x and [Last Name] = x";
    EXPECT_EQ(Find(query, "smith, jo", true), 2);
    EXPECT_EQ(Find(query, "smith, jo", false), 3);
    EXPECT_EQ(Find(query, "smith, jo", false), 5);
    EXPECT_EQ(Find(query, "smith, jo", false), 2);
    // Restart goes back to the top whatever the position.
    EXPECT_EQ(Find(query, "smith, jo", false), 3);
    EXPECT_EQ(Find(query, "smith, jo", true), 2);
}

TEST_F(FindInGridTest, ContainsAndOrQueries) {
    EXPECT_EQ(Find("Name in x", "ann", true), 3);   // Joanne Smithers
    EXPECT_EQ(Find("Name in x", "ann", false), 4);  // Anna Brown
    // OR with one word tries it on both fields; with two words each on its own field.
    EXPECT_EQ(Find("[First Name] = x or [Last Name] = x", "brown", true), 4);
    EXPECT_EQ(Find("[First Name] = x or [Last Name] = x", "zz jordan", true), 6);
    // Numbers are compared as their text.
    EXPECT_EQ(Find("PtNum = x", "5", true), 5);
}

TEST_F(FindInGridTest, NoMatchLeavesTheGridWhereItWas) {
    EXPECT_EQ(Find("[Last Name] = x", "brown", true), 4);
    const int current = grid.CurrentRowIndex();
    EXPECT_EQ(Find("[Last Name] = x", "zimmer", true), 4);
    EXPECT_EQ(grid.CurrentRowIndex(), current);
    EXPECT_EQ(Find("[Last Name] = x", "zimmer", false), 4);
    // A field the rows do not have matches nothing but the empty text.
    EXPECT_EQ(Find("Nickname = x", "s", true), 4);
}

TEST_F(FindInGridTest, RowsAreSearchedInTheOrderShownAndTheHourglassIsPutBack) {
    grid.SortKeys().Add(2, -1);  // Last Name, descending
    grid.Resort();
    EXPECT_EQ(Find("[Last Name] = x", "smith", true), 3);  // Smithers comes first now
    EXPECT_EQ(ui.calls.front().kind, ui::Shown::Kind::BusyCursor);
    EXPECT_FALSE(ui.busy);
    // An hourglass already showing stays.
    ui.SetBusyCursor(true);
    ui.calls.clear();
    Find("[Last Name] = x", "smith", false);
    EXPECT_TRUE(ui.calls.empty());
    EXPECT_TRUE(ui.busy);
}

TEST(FindInGridNullTest, ANullValueMatchesOnlyTheEmptyText) {
    auto rows = std::make_shared<views::MemoryRecordSource>(std::vector<std::string>{"First"});
    rows->AddRecord({engine::Value()});
    rows->AddRecord({engine::Value("Ann")});
    views::RecordGrid grid;
    grid.Columns().Add("First", "First");
    grid.SetBoundRecordset(rows);
    int32_t position = 0;
    bool restart = true;
    FindInGrid(grid, position, "First = x", "a", restart);
    EXPECT_EQ(position, 2);
    restart = true;
    FindInGrid(grid, position, "First = x", "", restart);
    EXPECT_EQ(position, 1);
}

}  // namespace
