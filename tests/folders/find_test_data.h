// A generated practice database with known patients, doctors and carriers added, and an
// application folder with the demo's Folders.xml and layouts, for the record search and find
// dialog tests. The patients, in PtNum order:
//   1 Jones, Smita   2 Smith, John   3 Smithers, Joanne   4 Brown, Anna   5 Smith, Jolene
//   6 Jordan, Smithy
// Doctor D77 Zeller, Hanna; carrier 77 Zenith Mutual (R77, MC, S7).
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "engine/api/connection.h"
#include "engine/api/recordset.h"
#include "support/temp_dir.h"

namespace folders_testing {

class FindTestData {
public:
    FindTestData();
    // The application folder (Folders.xml, etc/ with the find layouts).
    std::string AppFolder() const { return (m_dir.Path() / "app").string(); }
    std::filesystem::path AppPath() const { return m_dir.Path() / "app"; }
    std::string DataFolder() const { return (m_dir.Path() / "Data").string(); }
    std::unique_ptr<engine::api::Connection> Connect() const;
    // An open static recordset over a table or SELECT.
    std::shared_ptr<engine::api::Recordset> Open(const std::string& source) const;

private:
    testing_support::TempDir m_dir;
};

// The bookmark of the first record of recordset whose field has value (compared as text,
// trailing blanks ignored); 0 when none has it.
double BookmarkWhere(engine::api::Recordset& recordset, const std::string& field, const std::string& value);

}  // namespace folders_testing
