// The delete privilege and the deletion of one patient's rows, both used by the archive run.
//
// CheckDeletePassword reads the suite's passwords afresh and, when a delete password is set,
// asks for it; a wrong answer is refused with a short balloon notice near the bottom of the
// screen. DeletePatientRecords marks a patient's rows deleted in the seven patient tables
// other than IdentFil (the caller deletes the identity row itself); rows stay on disk until
// the tables are packed. User-interface thread only.
#pragma once

#include <cstdint>
#include <string>

namespace engine::api {
class Connection;
}

namespace deletion {

// Asks the user for the delete password. The program's prompt is the frmConfirmPwd dialog;
// tests answer with a typed text.
class PasswordPrompt {
public:
    virtual ~PasswordPrompt() = default;
    // What the user typed (UTF-8); empty when nothing was typed or the prompt was dismissed.
    virtual std::string AskPassword() = 0;
};

// Shows frmConfirmPwd modally, with F1 opening helpFile.
class DialogPasswordPrompt final : public PasswordPrompt {
public:
    explicit DialogPasswordPrompt(std::string helpFile);
    std::string AskPassword() override;

private:
    std::string m_helpFile;
};

// The help file beside the log file, i.e. in the application folder once start-up has
// pointed the log there.
std::string DefaultHelpFile();

// True when deleting is allowed: no delete password is set (or it cannot be read), or the
// prompt answered it exactly (letter case included). A refusal shows the balloon
// "Invalid Password.". A failing step is skipped; a prompt that fails counts as nothing
// typed. connection may be null (then no password can be read and deleting is allowed).
// Never throws.
bool CheckDeletePassword(engine::api::Connection* connection, PasswordPrompt& prompt);
// The same with the frmConfirmPwd dialog and DefaultHelpFile().
bool CheckDeletePassword(engine::api::Connection* connection);

// Marks the rows of PtNum deleted in PmtAndChrg, Postfile, Appointment, PatIns, Case,
// BillOthe and MngCare, in that order. A table that is missing or cannot be written keeps
// its rows and the next one is done. Never throws.
void DeletePatientRecords(engine::api::Connection& connection, int32_t PtNum);

}  // namespace deletion
