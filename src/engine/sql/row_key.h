// Byte keys for values, so that rows can be grouped, made distinct and joined through hash
// maps: two values give the same key exactly when "=" finds them equal (text without its
// trailing blanks, numbers of any kind by their value, a date equal to the date-time at its
// midnight), and a null gives a key of its own.
#pragma once

#include <string>
#include <vector>

#include "engine/value.h"

namespace engine::sql {

void AppendKey(std::string& key, const Value& value);
std::string RowKey(const std::vector<Value>& values);

}  // namespace engine::sql
