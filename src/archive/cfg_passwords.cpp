#include "archive/cfg_passwords.h"

#include <algorithm>

#include "db/ado_tools.h"
#include "engine/api/connection.h"
#include "engine/api/recordset.h"
#include "engine/dbf/codepage.h"
#include "engine/error.h"

namespace CfgPasswords {
namespace {

constexpr int kCodeOffset = 30;
constexpr uint8_t kWindows1252Mark = 0x03;

// Leading and trailing blanks removed (blanks only, as the stored form pads with them).
std::string TrimBlanks(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The decoded password in a field of the current row.
std::string ReadOne(engine::api::Recordset& recordset, const char* name) {
    const engine::Value value = recordset.Fields().Item(name).Value();
    return DecodePassword(TrimBlanks(AdoTools::VariantText(value)));
}

}  // namespace

bool ReadPasswords(engine::api::Connection* connection, std::string& DeletePwd, std::string& SystemPwd,
                   std::string& ReportPwd, std::string& BackupPwd) {
    if (connection == nullptr) return false;
    try {
        engine::api::Recordset recordset;
        recordset.Open("SELECT * FROM Passwords", *connection, engine::api::kAdOpenStatic,
                       engine::api::kAdLockOptimistic, engine::api::kAdCmdUnknown);
        if (!recordset.Eof()) {
            DeletePwd = ReadOne(recordset, "DeletePwd");
            SystemPwd = ReadOne(recordset, "SystemPwd");
            ReportPwd = ReadOne(recordset, "ReportPwd");
            BackupPwd = ReadOne(recordset, "BackupPwd");
        }
        recordset.Close();
        return true;
    } catch (...) {
        return false;
    }
}

std::string DecodePassword(const std::string& stored) {
    std::string bytes;
    bytes.reserve(stored.size() / 2 + 1);
    for (size_t at = 0; at < stored.size(); at += 2) {
        const std::string piece = stored.substr(at, 2);
        const bool numeric = std::all_of(piece.begin(), piece.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!numeric)
            throw engine::Error(engine::err::kTypeMismatch,
                                "Type mismatch: the password piece '" + piece + "' is not a number.");
        bytes.push_back(static_cast<char>(std::stoi(piece) + kCodeOffset));
    }
    static const engine::dbf::CodePage windows1252(kWindows1252Mark);
    return windows1252.Decode(bytes);
}

}  // namespace CfgPasswords
