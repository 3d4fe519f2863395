// Packing a table with nothing to drop reads it and leaves its files as they were (bytes and
// modification times); a marked record or memo space no record uses still makes it rewrite
// them, with the values intact.
#include <gtest/gtest.h>

#include <map>

#include "engine/dbf/table.h"
#include "support/temp_dir.h"

namespace {

using namespace engine;
namespace fs = std::filesystem;

struct FileState {
    std::string bytes;
    fs::file_time_type modified;
    friend bool operator==(const FileState&, const FileState&) = default;
};

std::map<std::string, FileState> States(const fs::path& folder) {
    std::map<std::string, FileState> out;
    for (const auto& e : fs::directory_iterator(folder))
        out[e.path().filename().string()] = {testing_support::ReadFile(e.path()), fs::last_write_time(e.path())};
    return out;
}

std::string Note(int i) {
    // Empty, short, and now and then longer than one read of a memo value.
    if (i % 5 == 0) return "";
    return std::string(i % 7 == 3 ? 3000 : 20 + i, static_cast<char>('a' + i % 26));
}

std::vector<std::vector<Value>> Rows(Table& t) {
    std::vector<std::vector<Value>> rows;
    for (uint32_t i = 0; i < t.RecordCount(); ++i) rows.push_back(t.ReadRecord(i).values);
    return rows;
}

TEST(TablePack, NothingToDropLeavesTheFilesAsTheyWere) {
    testing_support::TempDir dir;
    const fs::path file = dir / "Notes.dbf";
    {
        auto t = Table::Create(file, {{.name = "Id", .type = 'I'},
                                      {.name = "Name", .type = 'C', .length = 10},
                                      {.name = "Note", .type = 'M'},
                                      {.name = "Extra", .type = 'M', .nullable = true}});
        t->CreateIndex({{.name = "ID", .expression = "Id"}});
        for (int i = 0; i < 60; ++i)
            t->Append({Value(int64_t{i}), Value("n" + std::to_string(i)), Value(Note(i)),
                       i % 4 ? Value(Note(i + 1)) : Value()});
    }
    const auto before = States(dir.Path());
    ASSERT_EQ(before.size(), 3u);  // table, memo and index
    std::vector<std::vector<Value>> rows;
    {
        auto t = Table::Open(file, OpenMode::Exclusive);
        rows = Rows(*t);
        t->Pack();
        EXPECT_EQ(t->RecordCount(), 60u);
    }
    Table::Open(file)->Pack();  // in shared use the pack takes the table for itself as well
    EXPECT_EQ(States(dir.Path()), before);

    // A changed memo leaves its old blocks unused: the pack gives the space back.
    {
        auto t = Table::Open(file);
        auto values = t->ReadRecord(7).values;
        values[2] = Value(std::string(500, 'z'));
        t->Overwrite(7, values);
        rows[7] = values;
    }
    const auto grown = fs::file_size(dir / "Notes.fpt");
    Table::Open(file, OpenMode::Exclusive)->Pack();
    EXPECT_LT(fs::file_size(dir / "Notes.fpt"), grown);
    EXPECT_EQ(Rows(*Table::Open(file)), rows);

    // A marked record is dropped; a second pack then has nothing to do.
    Table::Open(file)->SetDeleted(3, true);
    rows.erase(rows.begin() + 3);
    Table::Open(file, OpenMode::Exclusive)->Pack();
    const auto packed = States(dir.Path());
    EXPECT_EQ(Rows(*Table::Open(file)), rows);
    Table::Open(file, OpenMode::Exclusive)->Pack();
    EXPECT_EQ(States(dir.Path()), packed);
    // The index still finds every row.
    auto t = Table::Open(file);
    for (uint32_t i = 0; i < t->RecordCount(); ++i) {
        auto found = t->SeekEqual(0, t->ReadValue(i, 0));
        ASSERT_TRUE(found);
        EXPECT_EQ(*found, std::vector<uint32_t>{i});
    }
}

}  // namespace
