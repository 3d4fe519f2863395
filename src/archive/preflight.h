// The pre-flight sheet: what an archive run is about to do, counted before anything is
// written, so the user can confirm it (the window's dialog, frm_preflight.h) or read it
// (`Archive --batch ... --dry-run`, PreflightText). For the patients asked for it counts the
// rows of the eight patient tables that will move, the notes files, the patients with
// appointments after today, the patients already in the archive (whose archive copy the run
// replaces), those no longer in the practice (which the run skips), and names the archive
// folder. Reads only; Qt-free.
//
// Where it is called: the run, after the password check and before the run lock's work
// begins, computes ComputePreflight(patient numbers taken at the start, practice connection,
// data folder, today) and shows it (window: PreflightDialog::Confirm; batch --dry-run: prints
// PreflightText and exits 0). With nothing selected the window shows kSelectPatientsFirst
// instead (NothingToArchive) and does nothing else.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/value.h"

namespace engine::api {
class Connection;
}  // namespace engine::api

namespace archive {

inline constexpr const char* kSelectPatientsFirst = "Select the patients to archive first.";
// How many patients the sheet names in each list; the rest are counted.
inline constexpr size_t kListedPatients = 20;

// True when the selection holds no patient: the Archive button then shows kSelectPatientsFirst.
bool NothingToArchive(const std::vector<int32_t>& patients);

struct PatientLine {
    int32_t ptNum = 0;
    std::string name;  // "Last, First" from IdentFil; empty when the practice has no row
};

struct TableRows {
    std::string table;
    long rows = 0;
};

struct PreflightSheet {
    long patients = 0;                  // distinct patient numbers asked for
    long notInPractice = 0;             // asked for but without a live IdentFil row: the run skips them
    std::vector<TableRows> rows;        // the eight patient tables in copying order
    long notesFiles = 0;                // Notes/<PtNum>.rtf files present in the data folder
    bool appointmentDatesKnown = true;  // false when Appointment has no ApptDate field
    long withFutureAppointments = 0;    // patients with an appointment after today
    std::vector<PatientLine> futureAppointmentPatients;  // the first kListedPatients of them
    long alreadyArchived = 0;                            // patients with rows in the archive (marked deleted ones too)
    std::vector<PatientLine> alreadyArchivedPatients;    // the first kListedPatients of them
    std::string archiveFolder;
    bool archiveExists = false;  // false: the run creates the archive first
    std::string today;           // the day appointments are compared with, M/D/YYYY

    long TotalRows() const;
};

// Counts the sheet for patients (duplicates count once) against the practice connection and
// the archive of dataFolder (found as archive_paths.h says, opened read-only for the count
// when its container exists). today: the day after which appointments are "after today".
// Throws engine::Error when a table cannot be read.
PreflightSheet ComputePreflight(const std::vector<int32_t>& patients, engine::api::Connection& practice,
                                const std::string& dataFolder, engine::Date today);

// engine::Date of the local calendar day now.
engine::Date Today();

// The sheet as plain text, one fact a line, for the terminal.
std::string PreflightText(const PreflightSheet& sheet);

}  // namespace archive
