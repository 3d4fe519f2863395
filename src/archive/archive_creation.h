// Archive database creation: the archive is a copy of the practice database kept in the
// data folder's "Archive" folder (with a "Notes" folder of its own), whose patient tables are
// emptied and packed while the reference tables keep their rows. The -create run of the
// program builds it through CreateArchiveDatabase; the main window forwards its state
// (database path, application folder, status balloon, connection) to these functions.
#pragma once

#include <memory>
#include <string>

#include "archive/status_services.h"
#include "engine/api/connection.h"

namespace app {

// Creates the archive of the practice container databasePath when it is missing: when the
// "Archive" folder beside the container does not exist (its "Notes" folder is made too) or
// holds no "Corvane.dbc" (in any case of the name). An existing archive is left alone and
// nothing is shown. Creating copies every file of the data folder (not its folders) into
// the archive, removes backup, zip, program and temporary files there, makes every file
// writable, and empties the patient tables (EmptyPatientTables). A failing step is skipped
// and the next one runs, and nothing is thrown; but when the patient tables cannot be
// emptied (the error is in the log), what the creation made in the archive folder is removed
// again, so no full copy of the practice is left to pass for an archive.
void CreateArchiveDatabase(const std::string& databasePath, const std::string& appPath, StatusServices& status,
                           std::unique_ptr<engine::api::Connection>& connection);

// Marks every row of the archive's patient tables deleted (a table is a patient table when it
// has a PtNum field or is named Appointment) and packs the archive folder. The table list
// comes from connection; when it is null, the blank template appPath/BlankDbc/corvane.dbc is
// connected and stored there, and when the template cannot be opened (its failure is
// logged), the archive's own container lists them and connection stays null. Tables that cannot be packed are listed in a message box.
// True when all patient tables were emptied and the pack ran; any error ends it at once,
// is written to the log, and gives false (no message box).
bool EmptyPatientTables(const std::string& databasePath, const std::string& appPath, StatusServices& status,
                        std::unique_ptr<engine::api::Connection>& connection);

// Packs a database folder and returns the names of the tables that could not be packed,
// joined by ", " (empty when all went well).
std::string PackFolder(const std::string& folder);

}  // namespace app
