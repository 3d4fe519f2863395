// The eight patient tables of the practice database in the order an archive run copies them,
// each with the field that holds the patient number. Shared by the pre-flight sheet and the
// run record; Qt-free.
#pragma once

#include <array>
#include <string_view>

namespace archive {

struct PatientTable {
    std::string_view table;
    std::string_view key;
};

inline constexpr std::array<PatientTable, 8> kPatientTables = {{
    {"IdentFil", "PtNum"},
    {"Appointment", "PId"},
    {"Case", "PtNum"},
    {"BillOthe", "PtNum"},
    {"MngCare", "PtNum"},
    {"PostFile", "PtNum"},
    {"PatIns", "PtNum"},
    {"PmtAndChrg", "PtNum"},
}};

}  // namespace archive
