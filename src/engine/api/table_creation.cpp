#include "engine/api/table_creation.h"

#include <filesystem>
#include <system_error>

#include "engine/ascii_case.h"
#include "engine/dbf/container.h"
#include "engine/dbf/find_file.h"
#include "engine/error.h"

namespace engine::api {

void CreateTable(Connection& connection, const std::string& name, const std::vector<FieldSpec>& fields) {
    DbfTableProvider& provider = *connection.Core()->provider;
    const std::string fileName = AsciiLower(name) + ".dbf";
    const auto taken = [&] { return Error(err::kBadArgument, "Table '" + name + "' already exists in the database."); };
    // A file of that name, in any case, would answer to the name as a free table already.
    if (!FindFileNoCase(provider.Folder(), fileName).empty()) throw taken();

    if (!provider.IsContainer()) {
        Table::Create(provider.Folder() / fileName, fields)->Close();
        return;
    }
    auto container = Container::Open(provider.ContainerPath());
    if (container->FindTable(name)) throw taken();
    container->CreateTable(name, fileName, fields)->Close();
}

}  // namespace engine::api
