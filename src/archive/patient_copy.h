// Copying a patient's rows from the practice database into the archive, and checking the
// copies: the archive run copies each table row by row (add, copy fields, save) and keeps
// what it wrote, so that before a group of patients is deleted from the practice their
// copies can be read back from the archive tables and compared, per table, row count and
// every copied value.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/value.h"

namespace engine::api {
class Connection;
}

namespace app {

inline constexpr size_t kPatientTableCount = 8;

// The patient tables in copying order, each with the field that holds the patient number.
inline constexpr std::array<std::pair<const char*, const char*>, kPatientTableCount> kPatientTables = {{
    {"IdentFil", "PtNum"},
    {"Appointment", "PId"},
    {"Case", "PtNum"},
    {"BillOthe", "PtNum"},
    {"MngCare", "PtNum"},
    {"PostFile", "PtNum"},
    {"PatIns", "PtNum"},
    {"PmtAndChrg", "PtNum"},
}};

// What was written into one archive table for one patient: the names of the fields both
// tables have, and per row the value assigned to each (nullopt: left as a new row has it).
struct CopiedTable {
    std::vector<std::string> fields;
    std::vector<std::vector<std::optional<engine::Value>>> rows;
};

// One patient's copy: every table in copying order.
struct PatientCopy {
    int32_t patient = 0;
    std::array<CopiedTable, kPatientTableCount> tables;
};

// Copies the rows of patient in table number tableIndex of kPatientTables from practice into
// archive, in the practice's order, and returns what was written. Errors pass to the caller.
CopiedTable CopyPatientTable(engine::api::Connection& practice, engine::api::Connection& archive, size_t tableIndex,
                             int32_t patient);

// Reads the live archive rows of the copied patients back and compares them with what was
// copied: per table the row count and every copied value. Returns, for each patient whose
// archive rows differ, a description of the first difference; empty when all agree.
std::map<int32_t, std::string> VerifyCopies(engine::api::Connection& archive, const std::vector<PatientCopy>& copies);

}  // namespace app
