#include "views/format_dialog_hook.h"

namespace views {

namespace {
FormatDialogOpener& Opener() {
    static FormatDialogOpener opener;
    return opener;
}
}  // namespace

void SetFormatDialogOpener(FormatDialogOpener opener) { Opener() = std::move(opener); }

void OpenFormatDialog(const FormatDialogRequest& request) {
    if (Opener()) Opener()(request);
}

}  // namespace views
