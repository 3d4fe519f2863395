// Field values <-> record bytes for one field of a table: numbers as text, dates, date-times,
// currency, doubles, logicals, character and varchar text through the table's code page, memo
// pointers, and the null and varlength bits of _NullFlags. Used by Table; no file access except
// through the memo callbacks it is given.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "codepage.h"
#include "engine/value.h"
#include "table_header.h"

namespace engine::dbf {

class MemoFile;

// The memo block number a memo field of the record holds (0 = none).
uint32_t MemoPointer(const TableHeader& header, const Field& field, const uint8_t* record);

// Decodes a field; memo values are read from memo (which may be null when the table has
// none: then a non-zero pointer raises kCorruptMemo naming tableFile).
Value DecodeField(const TableHeader& header, const Field& field, const uint8_t* record, const CodePage& codePage,
                  const MemoFile* memo, const std::filesystem::path& tableFile);
// Decodes a field into out, reusing the string or bytes out holds for text or bytes (the
// value is the same as DecodeField's). On an error out is left as it was.
void DecodeFieldInto(const TableHeader& header, const Field& field, const uint8_t* record, const CodePage& codePage,
                     const MemoFile* memo, const std::filesystem::path& tableFile, Value& out);

// Writes value into the field's bytes and its _NullFlags bits. A null into a non-nullable
// field stores the field's blank. appendMemo stores a memo value (block type, bytes) and returns
// its block number. Throws kTypeMismatch or kValueTooLarge naming the field.
using AppendMemoFn = std::function<uint32_t(uint32_t type, std::string_view data)>;
void EncodeField(const TableHeader& header, const Field& field, const Value& value, uint8_t* record,
                 const CodePage& codePage, const AppendMemoFn& appendMemo);

// A blank record: live, every field blank, V/Q varlength bits set with length 0.
void BlankRecord(const TableHeader& header, uint8_t* record);

}  // namespace engine::dbf
