// Record numbers through an archive run and a restore, on a practice whose PostFile rows are
// numbered by an autoincrement field (PostId, a candidate key): the restored rows keep their
// numbers, the table's counter never goes back, a patient whose number the practice gave to
// another row meanwhile stays in the archive and is listed; and a patient archived a moment
// ago comes back without the practice being packed first.
#include <gtest/gtest.h>

#include <algorithm>

#include "archive/restore_run.h"
#include "restore_fixture.h"
#include "sample_schema.h"

namespace {

using namespace restore_testing;

constexpr const char* kKey = "PostId";

class RestoreKeysTest : public RestoreDatabasesTest {
protected:
    // The demo practice with PostId put before PostFile's fields, numbered as the rows were
    // written; every row as the sample writer wrote it, rows marked deleted included.
    void MakeDatabases(int patients, uint64_t seed) {
        const fs::path source = dir / "Source";
        MakePractice(source, patients, seed);
        fs::create_directories(Data() / "Notes");
        CopyWithNumberedPostings(source, Data());
        MakeArchiveAndRemember();
    }
    static void CopyWithNumberedPostings(const fs::path& source, const fs::path& target) {
        auto dbc = engine::Container::Create(target / "Corvane.dbc");
        auto from = engine::Container::Open(source / "Corvane.dbc");
        for (const sample::TableDef& def : sample::Tables()) {
            std::vector<engine::FieldSpec> fields = def.fields;
            std::vector<engine::cdx::TagSpec> tags = def.tags;
            const bool numbered = def.name == "PostFile";
            if (numbered) {
                fields.insert(fields.begin(), engine::FieldSpec{.name = kKey, .type = 'I', .autoIncrement = true});
                tags.push_back({kKey, kKey, "", true});
            }
            auto table = dbc->CreateTable(def.name, def.name + ".dbf", fields);
            auto old = engine::Table::Open(from->FindTable(def.name)->file);
            for (uint32_t r = 0; r < old->RecordCount(); ++r) {
                engine::Record record = old->ReadRecord(r);
                if (numbered) record.values.insert(record.values.begin(), engine::Value());
                table->Append(record.values, record.deleted);
            }
            table->CreateIndex(tags);
            table->Flush();
        }
    }
    std::unique_ptr<engine::Table> PostFile() { return engine::Table::Open(Data() / "PostFile.dbf"); }
    // The number the next PostFile row gets.
    int32_t NextKey() { return PostFile()->Fields()[0].autoIncNext; }
    // The PostIds of the patient's live rows in the practice.
    std::vector<int64_t> KeysOf(int32_t patient) {
        auto table = PostFile();
        const size_t ptNum = static_cast<size_t>(table->FieldIndex("PtNum"));
        std::vector<int64_t> keys;
        for (uint32_t r = 0; r < table->RecordCount(); ++r)
            if (!table->IsDeleted(r) && table->ReadValue(r, ptNum).As<int64_t>() == patient)
                keys.push_back(table->ReadValue(r, 0).As<int64_t>());
        std::sort(keys.begin(), keys.end());
        return keys;
    }
    archive::RestoreSummary Restore(const std::vector<int32_t>& patients, std::vector<archive::RestoreSheet>& sheets) {
        ui::RecordingUi shown;
        FakeRestoreFace face(Data());
        archive::RestoreSummary summary = archive::RestorePatients(face, patients);
        face.Close();
        sheets = face.sheets;
        for (const auto& message : shown.Messages()) ADD_FAILURE() << message.title << ": " << message.text;
        return summary;
    }
};

TEST_F(RestoreKeysTest, AutoincrementKeysComeBackAsTheyWereAndATakenOneKeepsThePatientArchived) {
    MakeDatabases(10, 21);
    const std::vector<int32_t> chosen = {all[1], all[4], all[7]};
    const int32_t taken = all[2];
    std::map<int32_t, std::vector<int64_t>> keys;
    for (int32_t p : {all[1], all[4], all[7], taken}) {
        keys[p] = KeysOf(p);
        ASSERT_FALSE(keys[p].empty()) << p;
    }
    const int32_t firstCounter = NextKey();
    ASSERT_GT(firstCounter, 1);
    ArchiveAndPack(Data(), {all[1], all[4], all[7], taken});
    for (int32_t p : {all[1], all[4], all[7], taken})
        ASSERT_EQ(RowsOf(Read(Archive()), p, false), RowsOf(original, p, false)) << p;

    // The practice goes on: a new posting takes the next number, and another patient's
    // posting is given one of the archived patient's numbers by hand.
    AdoTools::Connect_DBC(Data().string(), "Corvane.dbc")
        ->Execute("INSERT INTO PostFile (PtNum, Code) VALUES (" + std::to_string(all[0]) + ", 'NEW')");
    EXPECT_EQ(KeysOf(all[0]).back(), firstCounter);
    {
        auto table = engine::Table::Open(Data() / "PostFile.dbf");
        const size_t ptNum = static_cast<size_t>(table->FieldIndex("PtNum"));
        uint32_t r = 0;
        while (table->IsDeleted(r) || table->ReadValue(r, ptNum).As<int64_t>() != all[0]) ++r;
        engine::Record record = table->ReadRecord(r);
        record.values[0] = engine::Value(keys[taken].front());
        table->Overwrite(r, record.values);
        table->Flush();
    }
    const int32_t counter = NextKey();
    EXPECT_EQ(counter, firstCounter + 1);
    const Snapshot archivedBefore = Read(Archive());

    std::vector<archive::RestoreSheet> sheets;
    const archive::RestoreSummary summary = Restore({all[1], all[4], all[7], taken}, sheets);
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_EQ(sheets[0].toRestore, chosen);
    ASSERT_EQ(sheets[0].refused.size(), 1u);
    EXPECT_EQ(sheets[0].refused[0].ptNum, taken);
    EXPECT_NE(sheets[0].refused[0].reason.find(std::to_string(keys[taken].front()) + " is taken in the practice"),
              std::string::npos)
        << sheets[0].refused[0].reason;
    EXPECT_EQ(summary.restored, 3);
    ASSERT_EQ(summary.skipped.size(), 1u);
    EXPECT_EQ(summary.skipped[0].first, taken);

    const Snapshot practice = Read(Data());
    for (int32_t p : chosen) {
        EXPECT_EQ(RowsOf(practice, p, false), RowsOf(original, p, false)) << p;
        EXPECT_EQ(KeysOf(p), keys[p]) << p;
    }
    EXPECT_EQ(RowsOf(Read(Archive()), taken, false), RowsOf(archivedBefore, taken, false));
    EXPECT_TRUE(KeysOf(taken).empty());
    // The counter stayed where the practice left it; the next posting takes it.
    EXPECT_EQ(NextKey(), counter);
    AdoTools::Connect_DBC(Data().string(), "Corvane.dbc")
        ->Execute("INSERT INTO PostFile (PtNum, Code) VALUES (" + std::to_string(all[0]) + ", 'NEXT')");
    EXPECT_EQ(KeysOf(all[0]).back(), counter);
}

TEST_F(RestoreKeysTest, APatientArchivedAMomentAgoComesBackWithoutPackingThePractice) {
    MakeDatabases(8, 5);
    const std::vector<int32_t> chosen = {all[2], all[5]};
    {
        ui::RecordingUi silent;
        FakeWindow window(Data());
        window.SelectPatients(chosen);
        app::cmdArchive_Click(window);
    }
    // Not packed: the practice still holds their rows, marked deleted, with their numbers.
    const Snapshot unpacked = Read(Data());
    for (int32_t p : chosen) {
        ASSERT_EQ(CountOf(RowsOf(unpacked, p, false)), 0u) << p;
        ASSERT_GE(CountOf(RowsOf(unpacked, p, true)), CountOf(RowsOf(original, p, false))) << p;
    }
    const int32_t counter = NextKey();

    std::vector<archive::RestoreSheet> sheets;
    const archive::RestoreSummary summary = Restore(chosen, sheets);
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_TRUE(sheets[0].refused.empty()) << sheets[0].refused[0].reason;
    EXPECT_EQ(summary.ending, archive::RestoreSummary::Ending::Complete);
    EXPECT_EQ(summary.restored, 2);

    // Every row is live again with its values, none of them twice, and the practice holds no
    // more rows than before the archive run.
    const Snapshot practice = Read(Data());
    for (int32_t p : chosen) {
        EXPECT_EQ(RowsOf(practice, p, false), RowsOf(original, p, false)) << p;
        EXPECT_EQ(RowsOf(practice, p, true), RowsOf(original, p, true)) << p;
        EXPECT_EQ(CountOf(RowsOf(Read(Archive()), p, false)), 0u) << p;
    }
    for (const auto& [table, rows] : practice) EXPECT_EQ(rows.size(), original.at(table).size()) << table;
    EXPECT_EQ(NextKey(), counter);

    // And they can be archived and restored again, the practice packed or not.
    ArchiveAndPack(Data(), chosen);
    EXPECT_EQ(Restore(chosen, sheets).restored, 2);
    for (int32_t p : chosen) EXPECT_EQ(RowsOf(Read(Data()), p, false), RowsOf(original, p, false)) << p;
}

}  // namespace
