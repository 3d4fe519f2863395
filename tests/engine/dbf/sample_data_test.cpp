// The sample-data generator: a whole demo database the engine and python3-dbfread can read,
// deterministic for a seed, with the blank template holding the same tables and no rows.
#include <gtest/gtest.h>

#include "engine/dbf/container.h"
#include "engine/error.h"
#include "reader_check.h"
#include "sample_schema.h"
#include "sample_writer.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::string Decode(const std::string& stored) {
    std::string plain;
    for (size_t i = 0; i < stored.size(); i += 2)
        plain.push_back(static_cast<char>(std::stoi(stored.substr(i, 2)) + 30));
    return plain;
}

TEST(SampleData, WritesAWholeReadableDatabaseDeterministically) {
    testing_support::TempDir dir;
    sample::Options options;
    options.patients = 30;
    options.seed = 5;
    options.deletePassword = "Secret 9!";
    const auto summary = sample::WriteSampleDatabase(dir / "a", options);
    sample::WriteSampleDatabase(dir / "b", options);
    EXPECT_EQ(summary.notes, 10);
    EXPECT_TRUE(fs::exists(dir / "a" / "Notes" / "1.rtf"));

    auto dbc = engine::Container::Open(dir / "a" / "Corvane.dbc");
    const auto tables = dbc->Tables();
    EXPECT_EQ(tables.size(), sample::Tables().size());
    uint64_t rows = 0, deleted = 0;
    for (const auto& t : tables) {
        SCOPED_TRACE(t.name);
        auto table = engine::Table::Open(t.file);
        EXPECT_EQ(t.fieldNames.size(), table->Fields().size());
        rows += table->RecordCount();
        for (uint32_t i = 0; i < table->RecordCount(); ++i) deleted += table->IsDeleted(i);
        EXPECT_EQ(testing_support::ReadFile(t.file), testing_support::ReadFile(dir / "b" / t.file.filename()));
        if (dbf_test::PythonModuleAvailable("dbfread")) {
            const auto result = dbf_test::CompareWithReader("dbfread", t.file);
            EXPECT_EQ(result.exitCode, 0) << result.output;
        }
    }
    EXPECT_EQ(rows, summary.rows);
    EXPECT_GT(deleted, 0u);
    auto passwords = engine::Table::Open(dbc->FindTable("Passwords")->file);
    std::string stored = passwords->ReadValue(0, 0).As<std::string>();
    stored.erase(stored.find_last_not_of(' ') + 1);
    EXPECT_EQ(Decode(stored), "Secret 9!");
    auto ident = engine::Table::Open(dbc->FindTable("identfil")->file);
    EXPECT_EQ(ident->RecordCount(), 30u);
    // Every table has its structural index, kept right while the rows went in, the same for
    // the same seed, and no writer marker is left behind.
    for (const auto& t : tables) {
        SCOPED_TRACE(t.name);
        auto table = engine::Table::Open(t.file);
        ASSERT_FALSE(table->StructuralIndex().empty());
        EXPECT_EQ(testing_support::ReadFile(table->StructuralIndex()),
                  testing_support::ReadFile(dir / "b" / table->StructuralIndex().filename()));
        for (size_t tag = 0; tag < table->IndexTags().size(); ++tag)
            EXPECT_EQ(table->IndexEntries(tag), table->ExpectedIndexEntries(tag)) << table->IndexTags()[tag].name;
    }
    for (const auto& e : fs::directory_iterator(dir / "a"))
        EXPECT_FALSE(e.path().string().ends_with(".index-dirty")) << e.path();
    const auto found = ident->SeekEqual(0, engine::Value(int64_t{7}));
    ASSERT_TRUE(found);
    ASSERT_EQ(found->size(), 1u);
    EXPECT_EQ(ident->ReadValue((*found)[0], 0), engine::Value(int64_t{7}));
}

TEST(SampleData, BlankTemplateHasTheTablesAndNoRows) {
    testing_support::TempDir dir;
    sample::Options options;
    options.blank = true;
    sample::WriteSampleDatabase(dir.Path(), options);
    auto dbc = engine::Container::Open(dir / "corvane.dbc");
    ASSERT_EQ(dbc->Tables().size(), sample::Tables().size());
    for (const auto& t : dbc->Tables()) EXPECT_EQ(engine::Table::Open(t.file)->RecordCount(), 0u) << t.name;
    EXPECT_FALSE(fs::exists(dir / "Notes" / "1.rtf"));
    EXPECT_THROW(sample::WriteSampleDatabase(dir.Path(), options), engine::Error);
}

}  // namespace
