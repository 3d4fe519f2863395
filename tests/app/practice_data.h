// A generated practice database in a temporary folder, with a connection to it and helpers
// that read it back, for the tests that run the main window and its grid on the engine.
#pragma once

#include <memory>
#include <string>

#include "engine/api/connection.h"
#include "engine/api/recordset.h"
#include "sample_writer.h"
#include "support/temp_dir.h"

namespace app_testing {

class PracticeData {
public:
    explicit PracticeData(int patients = 60) {
        sample::Options options;
        options.patients = patients;
        sample::WriteSampleDatabase(m_dir.Path(), options);
    }
    std::string Folder() const { return m_dir.Str(); }
    std::string Container() const { return m_dir.Str() + "/Corvane.dbc"; }
    std::string ConnectionString() const {
        return "Provider=MSDASQL;Extended Properties=\"DRIVER={Microsoft Visual FoxPro Driver};SourceDB=" +
               Container() + ";SourceType=DBC;\"";
    }
    std::unique_ptr<engine::api::Connection> Connect() const {
        auto connection = std::make_unique<engine::api::Connection>();
        connection->SetConnectionString(ConnectionString());
        connection->Open();
        return connection;
    }
    // The number of rows a SELECT returns.
    long Count(const std::string& sql) const {
        auto connection = Connect();
        engine::api::Recordset rs;
        rs.Open(sql, *connection);
        return rs.RecordCount();
    }

private:
    testing_support::TempDir m_dir;
};

}  // namespace app_testing
