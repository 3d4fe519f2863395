#include "archive/delete_patient.h"

#include <string>

#include "archive/cfg_passwords.h"
#include "archive/patient_tables.h"
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

// Runs the deletion statements of the seven tables other than IdentFil, in the suite's order.
template <typename Run>
void ForEachDetailStatement(int32_t PtNum, Run run) {
    const std::string number = std::to_string(PtNum);
    for (size_t t : archive::kDeletionOrder)
        if (t != 0) run(std::string(archive::kPatientTables[t].deleteStatement) + number);
}

}  // namespace

void DeletePatientRecords(engine::api::Connection& connection, int32_t PtNum) {
    ForEachDetailStatement(PtNum,
                           [&](const std::string& statement) { Skipping([&] { connection.Execute(statement, -1); }); });
}

void DeletePatientRecordsOrThrow(engine::api::Connection& connection, int32_t PtNum) {
    ForEachDetailStatement(PtNum, [&](const std::string& statement) { connection.Execute(statement, -1); });
}

}  // namespace deletion
