// The delete privilege and the deletion of one patient's rows, both used by the archive run.
//
// CheckDeletePassword reads the suite's passwords afresh and, when a delete password is set,
// asks for it through a PasswordPrompt; a wrong answer is refused with a short notice (the
// window shows a balloon near the bottom of the screen, see app/password_dialog.h).
// DeletePatientRecords marks a patient's rows deleted in the seven patient tables
// other than IdentFil (the caller deletes the identity row itself); rows stay on disk until
// the tables are packed. User-interface thread only.
#pragma once

#include <cstdint>
#include <string>

namespace engine::api {
class Connection;
}

namespace deletion {

// Asks the user for the delete password and tells of a refusal. The window's prompt is the
// frmConfirmPwd dialog with a balloon notice; tests answer with a typed text.
class PasswordPrompt {
public:
    virtual ~PasswordPrompt() = default;
    // What the user typed (UTF-8); empty when nothing was typed or the prompt was dismissed.
    virtual std::string AskPassword() = 0;
    // Tells the user that the typed password was refused: title and text of the notice.
    virtual void ShowRefusal(const std::string& title, const std::string& text) = 0;
};

// True when deleting is allowed: no delete password is set (or it cannot be read), or the
// prompt answered it exactly (letter case included). A refusal shows the notice
// "Invalid Password.". A failing step is skipped; a prompt that fails counts as nothing
// typed. connection may be null (then no password can be read and deleting is allowed).
// Never throws.
bool CheckDeletePassword(engine::api::Connection* connection, PasswordPrompt& prompt);

// Marks the rows of PtNum deleted in PmtAndChrg, Postfile, Appointment, PatIns, Case,
// BillOthe and MngCare, in that order. A table that is missing or cannot be written keeps
// its rows and the next one is done. Never throws.
void DeletePatientRecords(engine::api::Connection& connection, int32_t PtNum);
// The same deletions for a patient whose archive copy is complete: the first table that
// cannot be written ends it with that error, so that a full disk is not taken for a patient
// deleted (the archive run keeps him in its journal and finishes the deletion later).
void DeletePatientRecordsOrThrow(engine::api::Connection& connection, int32_t PtNum);

}  // namespace deletion
