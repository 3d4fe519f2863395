#include "archive/delete_patient.h"

#include <array>

#include "archive/cfg_passwords.h"
#include "engine/api/connection.h"

namespace deletion {
namespace {

// Runs one step whose failure is to be skipped.
template <typename Step>
void Skipping(Step step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

}  // namespace

bool CheckDeletePassword(engine::api::Connection* connection, PasswordPrompt& prompt) {
    std::string deletePwd, systemPwd, reportPwd, backupPwd;
    CfgPasswords::ReadPasswords(connection, deletePwd, systemPwd, reportPwd, backupPwd);

    bool result = true;
    if (!deletePwd.empty()) {
        std::string typed;
        Skipping([&] { typed = prompt.AskPassword(); });
        if (typed != deletePwd) {
            result = false;
            Skipping([&] {
                prompt.ShowRefusal("Invalid Password.",
                                   "Your password is invalid for deleting records.  Command aborted.");
            });
        }
    }
    return result;
}

namespace {
constexpr std::array<const char*, 7> kStatements = {
    "DELETE FROM PmtAndChrg WHERE PtNum = ", "DELETE FROM Postfile WHERE Ptnum = ",
    "DELETE FROM Appointment WHERE Pid = ",  "DELETE FROM PatIns WHERE Ptnum = ",
    "DELETE FROM Case WHERE Ptnum = ",       "DELETE FROM BillOthe WHERE Ptnum = ",
    "DELETE FROM MngCare WHERE Ptnum = ",
};
}  // namespace

void DeletePatientRecords(engine::api::Connection& connection, int32_t PtNum) {
    const std::string number = std::to_string(PtNum);
    for (const char* statement : kStatements) Skipping([&] { connection.Execute(statement + number, -1); });
}

void DeletePatientRecordsOrThrow(engine::api::Connection& connection, int32_t PtNum) {
    const std::string number = std::to_string(PtNum);
    for (const char* statement : kStatements) connection.Execute(statement + number, -1);
}

}  // namespace deletion
