// engine::Container: a Visual FoxPro database container (.dbc with its .dct memo file). Lists
// the tables the container names with their files and long field names, creates new
// containers and adds tables to them, and packs the container itself.
//
// The container is itself a table (see table.h); its objects are records of type "Database",
// "Table", "Field", "Index", "Relation", ... whose PROPERTY memo holds an encoded property list.
// Records marked deleted are ignored. A container's own index (.dcx) is kept up to date by
// the table layer as rows change. A broken container raises kCorruptContainer naming it.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "table.h"

namespace engine {

struct ContainerTable {
    std::string name;                     // the table's name as the container spells it
    std::filesystem::path file;           // the .dbf, found without regard to case
    std::vector<std::string> fieldNames;  // long field names, in field order
};

class Container {
public:
    static std::unique_ptr<Container> Open(const std::filesystem::path& dbcPath, OpenMode mode = OpenMode::Shared);
    // Creates an empty container (.dbc and .dct) holding the five standard database records.
    static std::unique_ptr<Container> Create(const std::filesystem::path& dbcPath);
    ~Container();

    const std::filesystem::path& Path() const;
    std::vector<ContainerTable> Tables() const;
    // The table named name, compared without regard to case.
    std::optional<ContainerTable> FindTable(const std::string& name) const;

    // Adds an existing free table under name and writes the back-link into its header.
    // longFieldNames default to the lower-case field names. The table must not be open.
    void AddTable(const std::string& name, const std::filesystem::path& tableFile,
                  std::vector<std::string> longFieldNames = {});
    // Creates a table file beside the container and adds it; the table stays open exclusively.
    std::unique_ptr<Table> CreateTable(const std::string& name, const std::string& fileName,
                                       const std::vector<FieldSpec>& fields, const TableOptions& options = {});
    // Drops deleted container records and compacts the .dct.
    void Pack();

private:
    explicit Container(std::unique_ptr<Table> table);
    std::string BackLinkFor(const std::filesystem::path& tableFile) const;
    std::unique_ptr<Table> m_table;
};

}  // namespace engine
