// CfgPasswords: reads the suite's four passwords (delete, system, report, backup) from the
// one-row Passwords table of the practice database and decodes their stored form.
//
// Stored form: decimal digit pairs, one pair per character; the pair's number plus 30 is the
// character's code in code page 1252 (codes 30 to 129). Decoded passwords are UTF-8.
#pragma once

#include <string>

namespace engine::api {
class Connection;
}

namespace CfgPasswords {

// Reads the first row of Passwords on connection: each of DeletePwd, SystemPwd, ReportPwd and
// BackupPwd, in that order, as text (null is empty), trimmed of blanks and decoded, is written
// to the argument of the same name. True when the table was read (with no rows nothing is
// written); false when connection is null or any step failed (the passwords read before the
// failure stay written). Never throws.
bool ReadPasswords(engine::api::Connection* connection, std::string& DeletePwd, std::string& SystemPwd,
                   std::string& ReportPwd, std::string& BackupPwd);

// The password a stored form stands for. The stored text is taken two characters at a time;
// an odd length leaves a last piece of one digit, decoded the same way. Empty gives empty.
// Throws engine::Error err::kTypeMismatch naming the piece when a piece is not a number.
std::string DecodePassword(const std::string& stored);

}  // namespace CfgPasswords
