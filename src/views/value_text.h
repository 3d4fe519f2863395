// Display text and ordering of field values in the record grid. A column may carry a
// format name ("General Date", "Short Date", "Long Date", "Currency", "Fixed", "Standard",
// "Percent", "Yes/No", "True/False"); without one, each kind of value has its usual form:
// dates in the US general date form (12/4/2026), date-times with the time (12/4/2026
// 7:35:38 PM), logicals as True/False, currency with two decimals, text without the blanks
// that pad fixed-width fields. No Qt.
#pragma once

#include <string>

#include "engine/value.h"

namespace views {

std::string ValueText(const engine::Value& value, const std::string& format = {});

// True for values shown right-aligned (numbers, currency, dates).
bool IsNumericValue(const engine::Value& value);

// Total order used for sorting and grouping: nulls first, then by kind; numbers by amount
// (whole numbers, doubles and currency compare with each other), text case-insensitively,
// dates and date-times by time. Returns <0, 0 or >0.
int CompareValues(const engine::Value& a, const engine::Value& b);

}  // namespace views
