// MergeTables: brings the archive's reference tables (hospitals and doctors in DocIdent, the
// doctors' insurance numbers in DocInsur, carriers in InsIdent, referral sources in Ref) up to
// date from the practice database before patients are archived. Rows the archive lacks are
// added; hospitals, doctors, carriers and referral sources found in the archive are
// overwritten with the practice's values; nothing is deleted. Progress goes to the status
// balloon and the log; a stop request skips whatever is left of the merge.
#pragma once

#include <string>

#include "archive/status_services.h"
#include "engine/api/connection.h"

namespace app {

// Merges the five reference sections in order: hospitals, doctors, doctors' insurance
// numbers, carriers, referral sources. Catches nothing: a failing query, search or save
// throws engine::Error to the caller, and what was saved before it stays in the archive.
// The status balloon is hidden when the merge ends normally or through a stop.
void MergeTables(engine::api::Connection& practice, engine::api::Connection& archive, StatusServices& status);

// A text value as a literal of the database's SQL and search criteria: between single quotes
// as it is; between double quotes when it holds a single quote but no double quote; else
// between single quotes with each single quote doubled. A quote in a key value so neither
// ends the statement early nor changes what it compares with.
std::string TextLiteral(const std::string& value);

}  // namespace app
