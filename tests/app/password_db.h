// Small practice databases for the password and deletion tests: a container holding only a
// Passwords table with values as given (nulls allowed), or the generated demo database.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "db/ado_tools.h"
#include "engine/dbf/container.h"
#include "engine/value.h"
#include "sample_writer.h"

namespace passwords_testing {

// Corvane.dbc in folder with a Passwords table (four nullable text fields) holding rows as
// given; withTable false leaves the container without it.
inline void MakePasswordsDb(const std::filesystem::path& folder, const std::vector<std::vector<engine::Value>>& rows,
                            bool withTable = true) {
    std::filesystem::create_directories(folder);
    auto dbc = engine::Container::Create(folder / "Corvane.dbc");
    if (!withTable) return;
    const auto field = [](const char* name) {
        return engine::FieldSpec{.name = name, .type = 'C', .length = 40, .nullable = true};
    };
    auto table = dbc->CreateTable("Passwords", "Passwords.dbf",
                                  {field("DeletePwd"), field("SystemPwd"), field("ReportPwd"), field("BackupPwd")});
    for (const auto& row : rows) table->Append(row);
}

// The generated demo database in folder.
inline void MakeDemoDb(const std::filesystem::path& folder, int patients, const std::string& deletePassword = {}) {
    sample::Options options;
    options.patients = patients;
    options.seed = 3;
    options.deletePassword = deletePassword;
    sample::WriteSampleDatabase(folder, options);
}

inline std::unique_ptr<engine::api::Connection> Connect(const std::filesystem::path& folder) {
    return AdoTools::Connect_DBC(folder.string(), "Corvane.dbc");
}

}  // namespace passwords_testing
