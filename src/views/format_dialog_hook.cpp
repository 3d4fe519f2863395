#include "views/format_dialog_hook.h"

#include "common/ui.h"
#include "views/frm_card_view.h"
#include "views/frm_tableview.h"

namespace views {

namespace {

FormatDialogOpener& Opener() {
    static FormatDialogOpener opener;
    return opener;
}

// Puts the dialog where the request asks, else in the middle of the screen.
void Place(QDialog& dialog, const FormatDialogRequest& request) {
    dialog.adjustSize();
    if (request.topLeft) {
        dialog.move(*request.topLeft);
        return;
    }
    const ui::ScreenSize screen = ui::Current().Screen();
    if (screen.widthPixels > 0 && screen.heightPixels > 0)
        dialog.move((screen.widthPixels - dialog.width()) / 2, (screen.heightPixels - dialog.height()) / 2);
}

// The program's own dialogs: Format Card View for cards, Format Table View otherwise.
void OpenProgramDialog(const FormatDialogRequest& request) {
    if (!request.grid) return;
    if (request.cards) {
        frmCardView dialog(request.parent);
        Place(dialog, request);
        dialog.FormatGrid(*request.grid);
    } else {
        frmTableview dialog(request.parent);
        Place(dialog, request);
        dialog.FormatGrid(*request.grid);
    }
}

}  // namespace

void SetFormatDialogOpener(FormatDialogOpener opener) { Opener() = std::move(opener); }

void OpenFormatDialog(const FormatDialogRequest& request) {
    if (Opener()) Opener()(request);
    else OpenProgramDialog(request);
}

}  // namespace views
