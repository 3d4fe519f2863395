// Element names for the parameter file: turns any section or key a caller uses into a name
// that XML accepts, the same way whenever it is stored or looked up, so callers always use
// their own (unsanitized) names. Also checks a finished name before an element is made of it.
#pragma once

#include <string>

namespace settings {

// Sanitizes one element name. With keepSlash false, "/" is replaced like a blank (A/B gives
// A-B); with keepSlash true it is kept, so a nested path survives (A/B stays A/B).
// A leading digit gets the prefix "n"; a leading character of the special set (or an empty
// name) gets the prefix "F"; blanks, commas and backslashes become "-"; ()?:!'# are removed.
// Sanitizing an already sanitized name changes nothing.
std::string SanitizeName(const std::string& name, bool keepSlash);

// True when name can be an XML element name (ASCII rules; bytes of multi-byte UTF-8
// characters are accepted as letters).
bool IsXmlName(const std::string& name);

}  // namespace settings
