// How the recordset API describes and fills a field: the ADO type numbers, sizes and
// precisions of each FoxPro field type, and the conversion of an assigned value to the kind
// the field holds (text to number or date, number to text, date-time to date, ...).
#pragma once

#include <string>

#include "engine/sql/table_access.h"
#include "engine/value.h"

namespace engine::api {

// ADO data type numbers.
inline constexpr int kAdSmallInt = 2;
inline constexpr int kAdInteger = 3;
inline constexpr int kAdDouble = 5;
inline constexpr int kAdCurrency = 6;
inline constexpr int kAdBoolean = 11;
inline constexpr int kAdNumeric = 131;
inline constexpr int kAdChar = 129;
inline constexpr int kAdDate = 133;      // adDBDate
inline constexpr int kAdDateTime = 135;  // adDBTimeStamp
inline constexpr int kAdVarChar = 200;
inline constexpr int kAdLongVarChar = 201;
inline constexpr int kAdVarBinary = 204;
inline constexpr int kAdLongVarBinary = 205;

int AdoType(const sql::FieldInfo& field);
long DefinedSize(const sql::FieldInfo& field);
int Precision(const sql::FieldInfo& field);
int NumericScale(const sql::FieldInfo& field);

// value in the kind field holds (see sql::Record for the kinds). Null stays null (a field that
// takes no null stores its blank). Throws engine::Error api::err::kConversion naming the field
// and the value when the value has no meaning for the field (text that is no number or date,
// a date into a number, ...).
Value ConvertForField(const Value& value, const sql::FieldInfo& field);
// Whether ConvertForField gives the value back as it is (null, or already of the field's kind):
// a caller may then store the value itself and spare the copy.
bool KeptAsIs(const Value& value, const sql::FieldInfo& field);

// A value as display text: numbers in their shortest form, dates "mm/dd/yyyy", date-times
// "mm/dd/yyyy hh:mm:ss AM", logicals ".T."/".F.", null as "".
std::string DisplayText(const Value& value);

}  // namespace engine::api
