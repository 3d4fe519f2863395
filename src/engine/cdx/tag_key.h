// The key of one tag for one record: the tag's key and FOR expressions compiled with the SQL
// evaluator against the table's fields, and the result turned into key bytes as the index
// stores them (character keys in the table's code page padded with blanks; numbers, dates and
// date-times as order-preserving doubles; integers as big-endian with the sign bit flipped;
// logicals as T/F; a marker byte in front on tags that admit nulls).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/cdx/cdx_node.h"
#include "engine/cdx/index_file.h"
#include "engine/dbf/codepage.h"
#include "engine/sql/expression.h"

namespace engine::cdx {

enum class KeyKind { kCharacter, kDouble, kInteger, kLogical };

class TagKey {
public:
    // Compiles the tag's expressions. Throws engine::Error when they do not parse or bind, or
    // when their type does not fit the tag's key length.
    TagKey(const TagHeader& tag, const std::vector<sql::FieldInfo>& fields, const dbf::CodePage& codePage);

    // The key of the row, or nullopt when the FOR expression leaves the row out.
    std::optional<std::string> KeyOf(const sql::RowView& row) const;
    // The key a value of the expression's type gets.
    std::string Encode(const Value& value) const;

    KeyKind Kind() const { return m_kind; }
    NodeFormat Format() const {
        return NodeFormat{m_keyLength, m_kind == KeyKind::kCharacter ? uint8_t(' ') : uint8_t(0)};
    }
    bool HasFor() const { return static_cast<bool>(m_for); }
    bool ForUsesDeleted() const { return m_forUsesDeleted; }
    // Fields the expressions read.
    const std::vector<size_t>& UsedFields() const { return m_used; }
    // The field the key expression reads when it is that field alone, possibly under UPPER,
    // LOWER or trimming functions; -1 otherwise.
    int LookupField() const { return m_lookupField; }
    bool CaseFolded() const { return m_caseFolded; }

private:
    const dbf::CodePage* m_codePage;
    sql::NodePtr m_key;
    sql::NodePtr m_for;
    KeyKind m_kind = KeyKind::kCharacter;
    size_t m_keyLength = 0;
    bool m_nullPrefix = false;
    bool m_forUsesDeleted = false;
    std::vector<size_t> m_used;
    int m_lookupField = -1;
    bool m_caseFolded = false;
};

// The key kind and key length (prefix included) a new tag over an expression of type t gets.
KeyKind KindOfType(const sql::TypeInfo& t);
size_t KeyLengthOf(const sql::TypeInfo& t, bool nullPrefix);
// The order-preserving byte form of a double.
std::string DoubleKey(double value);

}  // namespace engine::cdx
