// PackDatabase (module AdoTools): packs a database folder through the engine's automation
// server. The container is compacted first, then every .dbf file of the folder is taken
// exclusively and packed, so rows marked deleted leave the files for good. Tables that
// another connection or process holds open cannot be packed; their file names are returned
// so the caller can tell the user. Used at start-up, after an archive run, after emptying the
// archive's patient tables, and for the -pack switch.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace db {

// Packs the folder dataPath (one trailing separator is ignored). failedTables receives the
// file names of the tables that could not be packed, one entry per table, joined by ", "
// (empty when all went well). Writes the log lines "AdoTools/PackDatabase" and
// "Issuing: PACK "<folder>/<file>"" per table, and the error (number and reason) of each table
// or container that could not be packed. A missing folder packs nothing. Never throws;
// returns 0.
int16_t PackDatabase(const std::string& dataPath, std::string& failedTables);

// The file names of the tables of folder (every .dbf, as PackDatabase takes them) that
// another connection or process holds open, so that packing would be refused: each is opened
// exclusively for a moment and closed again. Sorted; empty when the folder is missing or free.
// Never throws (a table that cannot be opened for another reason is not counted as in use).
std::vector<std::string> TablesInUse(const std::string& dataPath);

}  // namespace db
