#include "app/engine_record_sources.h"

#include <map>

#include "app/recordset_source.h"
#include "engine/api/connection.h"
#include "engine/api/recordset.h"
#include "engine/error.h"

namespace app {
namespace {

engine::api::Connection& ConnectionFor(const std::string& connectionString) {
    static std::map<std::string, std::unique_ptr<engine::api::Connection>> connections;
    std::unique_ptr<engine::api::Connection>& slot = connections[connectionString];
    if (!slot || slot->State() == 0) {
        auto connection = std::make_unique<engine::api::Connection>();
        connection->SetConnectionString(connectionString);
        try {
            connection->Open();
        } catch (...) {
            connections.erase(connectionString);
            throw;
        }
        slot = std::move(connection);
    }
    return *slot;
}

}  // namespace

std::unique_ptr<views::RecordSource> OpenEngineRecordSource(const std::string& connectionString,
                                                            const std::string& sql) {
    engine::api::Connection& connection = ConnectionFor(connectionString);
    auto recordset = std::make_shared<engine::api::Recordset>();
    recordset->Open(sql, connection, engine::api::kAdOpenStatic, engine::api::kAdLockOptimistic,
                    engine::api::kAdCmdUnknown);
    if (recordset->State() == 0)
        throw engine::Error(engine::err::kBadArgument, "The record source returns no rows: " + sql);
    return std::make_unique<RecordsetSource>(std::move(recordset));
}

void InstallEngineRecordSources() { views::SetRecordSourceOpener(&OpenEngineRecordSource); }

}  // namespace app
