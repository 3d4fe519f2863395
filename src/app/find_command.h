// Archive --find KIND: the find dialog on its own, over the most recent database's table for
// a kind (1 patients, 2 referral sources, 3 doctors, 4 hospitals, 8 insurance carriers).
// When the dialog closes, three lines go to standard output: Cancelled ("True" or "False"),
// the item's Text and its Value. For scripts and tests; needs a display (or an offscreen
// platform).
#pragma once

#include <iosfwd>
#include <string>

namespace app {

// The rows the dialog offers for a kind: a table name or a SELECT; empty for a kind that
// this command does not offer.
std::string FindCommandSource(int kind);

// Runs the dialog for kindText over the database that appPath's parameter file names as the
// most recent one. Returns the exit code: 0 when the dialog ran, 2 for a kind it does not
// offer, 1 when there is no database or it cannot be opened (said on err).
int RunFindCommand(const std::string& kindText, const std::string& appPath, std::ostream& out, std::ostream& err);

}  // namespace app
