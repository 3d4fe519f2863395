#include <gtest/gtest.h>

#include <map>
#include <set>

#include "archive/delete_patient.h"
#include "engine/dbf/container.h"
#include "password_db.h"
#include "support/temp_dir.h"

namespace {

using passwords_testing::Connect;
using passwords_testing::MakeDemoDb;
using testing_support::TempDir;

// The deletion marks of one table, row by row, with each row's patient number.
struct Row {
    int64_t patient;
    bool deleted;
};
using Snapshot = std::map<std::string, std::vector<Row>>;

const std::map<std::string, std::string> kPatientField = {
    {"PmtAndChrg", "PtNum"}, {"PostFile", "PtNum"}, {"Appointment", "PId"}, {"PatIns", "PtNum"},
    {"Case", "PtNum"},       {"BillOthe", "PtNum"}, {"MngCare", "PtNum"},   {"IdentFil", "PtNum"},
};

Snapshot Read(const std::filesystem::path& folder) {
    Snapshot snapshot;
    auto dbc = engine::Container::Open(folder / "Corvane.dbc");
    for (const auto& [name, field] : kPatientField) {
        const auto entry = dbc->FindTable(name);
        if (!entry || !std::filesystem::exists(entry->file)) continue;
        auto table = engine::Table::Open(entry->file);
        const int index = table->FieldIndex(field);
        for (uint32_t r = 0; r < table->RecordCount(); ++r)
            snapshot[name].push_back(
                {table->ReadValue(r, static_cast<size_t>(index)).As<int64_t>(), table->IsDeleted(r)});
    }
    return snapshot;
}

// A patient with live rows in every table, so that each statement has something to do.
int32_t PatientInEveryTable(const Snapshot& snapshot) {
    std::map<int64_t, std::set<std::string>> tablesOf;
    for (const auto& [name, rows] : snapshot)
        for (const Row& row : rows)
            if (!row.deleted) tablesOf[row.patient].insert(name);
    for (const auto& [patient, tables] : tablesOf)
        if (tables.size() == kPatientField.size()) return static_cast<int32_t>(patient);
    return 0;
}

// Every row of patient in the listed tables is marked deleted; every other row is as it was.
void ExpectOnlyPatientDeleted(const Snapshot& before, const Snapshot& after, int32_t patient,
                              const std::set<std::string>& deletedIn) {
    ASSERT_EQ(before.size(), after.size());
    for (const auto& [name, rows] : before) {
        const auto& now = after.at(name);
        ASSERT_EQ(rows.size(), now.size()) << name;
        for (size_t r = 0; r < rows.size(); ++r) {
            const bool hit = deletedIn.count(name) && rows[r].patient == patient;
            EXPECT_EQ(now[r].deleted, rows[r].deleted || hit) << name << " row " << r;
        }
    }
}

TEST(DeletePatientRecords, MarksThePatientsRowsDeletedInTheSevenTablesAndLeavesIdentFil) {
    TempDir dir;
    MakeDemoDb(dir.Path(), 30);
    const Snapshot before = Read(dir.Path());
    const int32_t patient = PatientInEveryTable(before);
    ASSERT_NE(patient, 0) << "the demo data has no patient with rows in every table";

    auto connection = Connect(dir.Path());
    deletion::DeletePatientRecords(*connection, patient);
    ExpectOnlyPatientDeleted(before, Read(dir.Path()), patient,
                             {"PmtAndChrg", "PostFile", "Appointment", "PatIns", "Case", "BillOthe", "MngCare"});
}

TEST(DeletePatientRecords, WithoutMngCareTheOtherSixTablesAreStillDone) {
    TempDir dir;
    MakeDemoDb(dir.Path(), 30);
    const int32_t patient = PatientInEveryTable(Read(dir.Path()));
    ASSERT_NE(patient, 0);
    const auto mngCare = engine::Container::Open(dir / "Corvane.dbc")->FindTable("MngCare");
    ASSERT_TRUE(mngCare);
    std::filesystem::remove(mngCare->file);
    const Snapshot before = Read(dir.Path());

    auto connection = Connect(dir.Path());
    deletion::DeletePatientRecords(*connection, patient);
    ExpectOnlyPatientDeleted(before, Read(dir.Path()), patient,
                             {"PmtAndChrg", "PostFile", "Appointment", "PatIns", "Case", "BillOthe"});
}

}  // namespace
