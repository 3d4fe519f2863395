// Tables held in memory behind the TableAccess/TableProvider interfaces: for tests of
// everything that runs SQL, and for small scratch tables. A table may declare fields as
// indexed, which makes LookupEqual answer for them; counters show how a table was used.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/sql/table_access.h"

namespace engine::sql {

struct MemoryTableData {
    std::vector<FieldInfo> fields;
    std::vector<Record> records;
    std::vector<bool> indexed;  // per field: LookupEqual answers for it
    // Tags that order the table: key expression and the records in the order the tag holds
    // them (as a test sets them, right or wrong).
    std::vector<std::pair<std::string, std::vector<RecordNumber>>> tags;
    // Use counters.
    int opens = 0;
    int lookups = 0;
    int tagWalks = 0;  // RecordsInTagOrder answered
    long reads = 0;
    int openHandles = 0;
    bool openedExclusive = false;
};

class MemoryTableProvider : public TableProvider {
public:
    // Adds (or replaces) a table; returns its data for the test to fill and inspect.
    MemoryTableData& AddTable(const std::string& name, std::vector<FieldInfo> fields);
    // The table of that name (case-insensitive); throws kUnknownTable.
    MemoryTableData& Table(const std::string& name);

    // Names resolve case-insensitively; a path resolves by its file name without ".dbf".
    // Exclusive use is refused while the table is open, and any use while it is open
    // exclusively (err::kFileInUse).
    std::unique_ptr<TableAccess> Open(const std::string& nameOrPath, OpenMode mode) override;
    void Pack(const std::string& nameOrPath) override;
    // Memory tables keep no index to rebuild: checks the table is free and records the name.
    void Reindex(const std::string& nameOrPath) override;

    std::vector<std::string> packed;     // names passed to Pack, in order
    std::vector<std::string> reindexed;  // names passed to Reindex, in order

private:
    std::map<std::string, std::shared_ptr<MemoryTableData>> m_tables;  // by upper-case name
};

}  // namespace engine::sql
