#include "app/password_dialog.h"

#include <cstdint>
#include <filesystem>

#include "app/frm_confirm_pwd.h"
#include "common/product.h"
#include "common/ui.h"
#include "tips/frm_tip.h"

namespace deletion {
namespace {

constexpr const char* kHelpFileName = "Corvane.chm";
constexpr int32_t kBalloonAboveBottomTwips = 2000;
constexpr int32_t kBalloonAutoCloseMs = 3000;

}  // namespace

DialogPasswordPrompt::DialogPasswordPrompt(std::string helpFile) : m_helpFile(std::move(helpFile)) {}

std::string DialogPasswordPrompt::AskPassword() {
    app::frmConfirmPwd dialog(m_helpFile);
    dialog.ShowModal();
    return dialog.Password();
}

// The refusal notice: a tip that closes itself after a few seconds and then deletes itself.
void DialogPasswordPrompt::ShowRefusal(const std::string& title, const std::string& text) {
    int32_t posY = 0;
    try {
        posY = ui::Current().Screen().HeightTwips() - kBalloonAboveBottomTwips;
    } catch (...) {
    }
    auto* tip = new tips::frmTip;
    tip->setAttribute(Qt::WA_DeleteOnClose);
    tips::BalloonArgs args;
    args.lPosY = posY;
    args.sIcon = "i";
    args.bShowClose = true;
    args.lAutoCloseAfter = kBalloonAutoCloseMs;
    args.sFont = "MS Sans Serif";
    tip->DisplayMsg(title, text, args);
}

std::string DefaultHelpFile() {
    const std::filesystem::path folder = std::filesystem::path(product::LogFile).parent_path();
    return folder.empty() ? std::string(kHelpFileName) : (folder / kHelpFileName).string();
}

bool CheckDeletePassword(engine::api::Connection* connection) {
    DialogPasswordPrompt prompt(DefaultHelpFile());
    return CheckDeletePassword(connection, prompt);
}

}  // namespace deletion
