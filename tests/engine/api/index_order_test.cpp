// ORDER BY over a table file whose structural index has a tag on the sort key: the rows come
// in the tag's order and equal those of a sort (nulls, equal keys, deleted rows, text beyond
// ASCII and in both cases), and the table hands its records out in the tag's order.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

#include "engine/api/dbf_table_provider.h"
#include "engine/dbf/table.h"
#include "engine/sql/executor.h"
#include "engine/sql/value_ops.h"
#include "engine/sql/practice_tables.h"  // readable values in failure messages
#include "support/temp_dir.h"

namespace {

using engine::Value;
using engine::sql::RecordNumber;

class IndexOrder : public ::testing::Test {
protected:
    void SetUp() override {
        auto t = engine::Table::Create(dir / "visits.dbf",
                                       {{.name = "Num", .type = 'N', .length = 6, .decimals = 2, .nullable = true},
                                        {.name = "Name", .type = 'C', .length = 10}});
        t->CreateIndex(
            {{"NUM", "Num", ""}, {"NAME", "Name", ""}, {"UNAME", "UPPER(Name)", ""}, {"SOME", "Name", "Num > 1"}});
        const std::vector<std::string> names = {"zebra",
                                                "Zebra",
                                                "\xc3\x84rger",
                                                "\xc3\xa9"
                                                "clair",
                                                "\xe2\x82\xac"
                                                "uro",
                                                "abc",
                                                "ABC",
                                                "abc ",
                                                "",
                                                "m"};
        for (int i = 0; i < 60; ++i) {
            const Value num = i % 9 == 4 ? Value() : Value((i * 7 % 11) / 4.0 - 1.0);
            t->Append({num, Value(names[i * 3 % names.size()])}, i % 8 == 2);
        }
    }

    // The rows of query in the order a stable sort by the first column gives them.
    std::vector<std::vector<Value>> Sorted(const std::string& query, bool descending) {
        auto rows = Run(query).rows;
        std::stable_sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) {
            const int c = engine::sql::OrderCompare(a[0], b[0]);
            return descending ? c > 0 : c < 0;
        });
        return rows;
    }
    engine::sql::ResultSet Run(const std::string& text) { return *engine::sql::Execute(text, session).rows; }

    testing_support::TempDir dir;
    engine::api::DbfTableProvider provider{dir.Path()};
    engine::sql::Session session{provider};
};

TEST_F(IndexOrder, OrderByATagsKeyGivesTheSortedRows) {
    for (const char* deleted : {"ON", "OFF"}) {
        SCOPED_TRACE(deleted);
        Run(std::string("SET DELETED ") + deleted + "; SELECT * FROM visits WHERE .F.");
        for (const std::string field : {"Num", "Name", "UPPER(Name)"}) {
            SCOPED_TRACE(field);
            const std::string all = "SELECT " + field + ", RECNO(), DELETED() FROM visits";
            EXPECT_EQ(Run(all + " ORDER BY " + field).rows, Sorted(all, false));
            EXPECT_EQ(Run(all + " ORDER BY " + field + " DESC").rows, Sorted(all, true));
        }
    }
}

TEST_F(IndexOrder, TheTableHandsOutItsRecordsInATagsOrder) {
    auto table = provider.OpenTable("visits", engine::sql::OpenMode::kShared);
    auto tags = table->OrderTags();
    std::sort(tags.begin(), tags.end());
    EXPECT_EQ(tags, (std::vector<std::string>{"Name", "Num", "UPPER(Name)"}));  // not the FOR tag
    const auto specs = table->Storage().IndexTags();
    const size_t num = static_cast<size_t>(
        std::find_if(specs.begin(), specs.end(), [](const auto& s) { return s.expression == "Num"; }) - specs.begin());
    const auto entries = table->Storage().IndexEntries(num);
    std::vector<RecordNumber> expected;
    for (const auto& e : entries) expected.push_back(e.record);
    EXPECT_EQ(table->RecordsInTagOrder("Num"), expected);
    EXPECT_EQ(expected.size(), 60u);
    EXPECT_FALSE(table->RecordsInTagOrder("Num + 1"));
}

}  // namespace
