// How record grids open their rows on the database engine: a layout's SELECT runs on a
// connection named by the layout's connection string, and the rows come back as a static
// recordset wrapped for the grid (RecordsetSource). One connection is opened per connection
// string and kept for the life of the program, so a folder click does not reconnect.
#pragma once

#include <memory>
#include <string>

#include "views/record_source.h"

namespace app {

// Runs sql on the connection for connectionString (opened on first use) and returns its rows.
// Throws engine::Error when the database cannot be opened or the statement fails; a failed
// connection is not kept.
std::unique_ptr<views::RecordSource> OpenEngineRecordSource(const std::string& connectionString,
                                                            const std::string& sql);

// Makes OpenEngineRecordSource the opener of every record grid of the program.
void InstallEngineRecordSources();

}  // namespace app
