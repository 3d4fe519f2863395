#include "app/delete_patient.h"

#include <array>
#include <filesystem>

#include "app/cfg_passwords.h"
#include "app/frm_confirm_pwd.h"
#include "common/product.h"
#include "common/ui.h"
#include "engine/api/connection.h"
#include "tips/frm_tip.h"

namespace deletion {
namespace {

constexpr const char* kHelpFileName = "Corvane.chm";
constexpr int32_t kBalloonAboveBottomTwips = 2000;
constexpr int32_t kBalloonAutoCloseMs = 3000;

// Runs one step whose failure is to be skipped.
template <typename Step>
void Skipping(Step step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

// The refusal notice: a tip that closes itself after a few seconds and then deletes itself.
void ShowInvalidPassword(int32_t posY) {
    auto* tip = new tips::frmTip;
    tip->setAttribute(Qt::WA_DeleteOnClose);
    tips::BalloonArgs args;
    args.lPosY = posY;
    args.sIcon = "i";
    args.bShowClose = true;
    args.lAutoCloseAfter = kBalloonAutoCloseMs;
    args.sFont = "MS Sans Serif";
    tip->DisplayMsg("Invalid Password.", "Your password is invalid for deleting records.  Command aborted.", args);
}

}  // namespace

DialogPasswordPrompt::DialogPasswordPrompt(std::string helpFile) : m_helpFile(std::move(helpFile)) {}

std::string DialogPasswordPrompt::AskPassword() {
    app::frmConfirmPwd dialog(m_helpFile);
    dialog.ShowModal();
    return dialog.Password();
}

std::string DefaultHelpFile() {
    const std::filesystem::path folder = std::filesystem::path(product::LogFile).parent_path();
    return folder.empty() ? std::string(kHelpFileName) : (folder / kHelpFileName).string();
}

bool CheckDeletePassword(engine::api::Connection* connection, PasswordPrompt& prompt) {
    int32_t posY = 0;
    Skipping([&] { posY = ui::Current().Screen().HeightTwips() - kBalloonAboveBottomTwips; });

    std::string deletePwd, systemPwd, reportPwd, backupPwd;
    CfgPasswords::ReadPasswords(connection, deletePwd, systemPwd, reportPwd, backupPwd);

    bool result = true;
    if (!deletePwd.empty()) {
        std::string typed;
        Skipping([&] { typed = prompt.AskPassword(); });
        if (typed != deletePwd) {
            result = false;
            Skipping([&] { ShowInvalidPassword(posY); });
        }
    }
    return result;
}

bool CheckDeletePassword(engine::api::Connection* connection) {
    DialogPasswordPrompt prompt(DefaultHelpFile());
    return CheckDeletePassword(connection, prompt);
}

void DeletePatientRecords(engine::api::Connection& connection, int32_t PtNum) {
    static constexpr std::array<const char*, 7> kStatements = {
        "DELETE FROM PmtAndChrg WHERE PtNum = ", "DELETE FROM Postfile WHERE Ptnum = ",
        "DELETE FROM Appointment WHERE Pid = ",  "DELETE FROM PatIns WHERE Ptnum = ",
        "DELETE FROM Case WHERE Ptnum = ",       "DELETE FROM BillOthe WHERE Ptnum = ",
        "DELETE FROM MngCare WHERE Ptnum = ",
    };
    const std::string number = std::to_string(PtNum);
    for (const char* statement : kStatements)
        Skipping([&] { connection.Execute(statement + number, -1); });
}

}  // namespace deletion
