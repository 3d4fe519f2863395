// The window's face of the delete privilege: the frmConfirmPwd dialog asks for the delete
// password and a refusal is told by a balloon near the bottom of the screen that closes
// itself after a few seconds. User-interface thread only.
#pragma once

#include <string>

#include "archive/delete_patient.h"

namespace deletion {

// Shows frmConfirmPwd modally, with F1 opening helpFile; a refusal shows the balloon.
class DialogPasswordPrompt : public PasswordPrompt {
public:
    explicit DialogPasswordPrompt(std::string helpFile);
    std::string AskPassword() override;
    void ShowRefusal(const std::string& title, const std::string& text) override;

private:
    std::string m_helpFile;
};

// The help file beside the log file, i.e. in the application folder once start-up has
// pointed the log there.
std::string DefaultHelpFile();

// CheckDeletePassword with the frmConfirmPwd dialog and DefaultHelpFile().
bool CheckDeletePassword(engine::api::Connection* connection);

}  // namespace deletion
