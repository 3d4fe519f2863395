// The eight patient tables of the practice database in the order an archive run copies them,
// each with the field that holds the patient number and the suite's statement that deletes a
// patient's rows of it; and the order in which a patient's rows are deleted. The one list the
// archive run, the restore, the pre-flight sheet, the run record and the deletion use; Qt-free.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace archive {

struct PatientTable {
    std::string_view table;
    std::string_view key;
    // The statement, as the suite spells it, that marks a patient's rows deleted: the patient
    // number is appended.
    std::string_view deleteStatement;
};

inline constexpr size_t kPatientTableCount = 8;

inline constexpr std::array<PatientTable, kPatientTableCount> kPatientTables = {{
    {"IdentFil", "PtNum", "DELETE FROM IdentFil WHERE PtNum = "},
    {"Appointment", "PId", "DELETE FROM Appointment WHERE Pid = "},
    {"Case", "PtNum", "DELETE FROM Case WHERE Ptnum = "},
    {"BillOthe", "PtNum", "DELETE FROM BillOthe WHERE Ptnum = "},
    {"MngCare", "PtNum", "DELETE FROM MngCare WHERE Ptnum = "},
    {"PostFile", "PtNum", "DELETE FROM Postfile WHERE Ptnum = "},
    {"PatIns", "PtNum", "DELETE FROM PatIns WHERE Ptnum = "},
    {"PmtAndChrg", "PtNum", "DELETE FROM PmtAndChrg WHERE PtNum = "},
}};

// The tables (indexes into kPatientTables) in the order a patient's rows are deleted:
// PmtAndChrg, Postfile, Appointment, PatIns, Case, BillOthe, MngCare, then IdentFil.
inline constexpr std::array<size_t, kPatientTableCount> kDeletionOrder = {7, 5, 1, 6, 2, 3, 4, 0};

}  // namespace archive
