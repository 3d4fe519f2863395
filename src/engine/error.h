// The one error type of the program. Every layer throws engine::Error for a failure that
// carries a number and a description; callers above the engine catch it to skip a step,
// to end a procedure and report, or let it pass up. No Qt here.
#pragma once

#include <stdexcept>
#include <string>

namespace engine {

class Error : public std::runtime_error {
public:
    Error(long number, std::string description, std::string source = {})
        : std::runtime_error(description),
          m_number(number),
          m_description(std::move(description)),
          m_source(std::move(source)) {}

    long Number() const noexcept { return m_number; }
    const std::string& Description() const noexcept { return m_description; }
    // The routine that raised or re-raised the error (for example "Connect_DBC"); may be empty.
    const std::string& Source() const noexcept { return m_source; }
    void SetSource(std::string source) { m_source = std::move(source); }

private:
    long m_number;
    std::string m_description;
    std::string m_source;
};

// Error numbers the engine raises. Grouped by area; new numbers are added at the end of a group.
namespace err {
// Files and storage (table, memo, container files).
inline constexpr long kFileNotFound = 1;           // a table, memo or container file is missing
inline constexpr long kFileAccess = 2;             // open/read/write/rename failed at the OS level
inline constexpr long kNotATable = 15;             // header is not a table we can read
inline constexpr long kCorruptTable = 2091;        // header, descriptors or record count broken
inline constexpr long kCorruptMemo = 41;           // memo file missing, truncated or a bad block
inline constexpr long kCorruptContainer = 1552;    // .dbc/.dct/.dcx broken
inline constexpr long kFileInUse = 1705;           // exclusive use refused: open elsewhere
inline constexpr long kIndexNotMaintained = 1707;  // a write would make a structural index stale
inline constexpr long kCorruptIndex = 114;         // index file broken or not matching its table
inline constexpr long kUniqueViolated = 1884;      // a candidate tag would get a duplicate key
inline constexpr long kRecordInUse = 109;          // a record or the header is locked by another user
// SQL and commands.
inline constexpr long kSyntax = 10;                // syntax error in a statement
inline constexpr long kUnknownTable = 1802;        // table not found in the database
inline constexpr long kUnknownField = 1806;        // field name not found
inline constexpr long kTypeMismatch = 107;         // operand or value of the wrong type
inline constexpr long kArgumentCount = 1229;       // a function called with the wrong number of arguments
inline constexpr long kValueTooLarge = 1881;       // numeric overflow for a field
inline constexpr long kAutoIncrementField = 2088;  // a value assigned to a field the table numbers itself
// API (connection, recordset).
inline constexpr long kNotOpen = 3704;          // operation on a closed object
inline constexpr long kNoCurrentRecord = 3021;  // BOF or EOF is true, or the row was deleted
inline constexpr long kItemNotFound = 3265;     // no field of that name or position
inline constexpr long kBadArgument = 3001;      // an argument of the wrong kind or out of range
}  // namespace err

}  // namespace engine
