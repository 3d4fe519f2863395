// The seam through which the patient grid's popup menu ("Format View...") and the view
// summary ("Format...") open a grid's format dialog: FormatGrid of the table view format
// dialog (frmTableview), or of the card view format dialog (frmCardView) when cards is true,
// at the requested corner or centred on the screen. Tests install an opener of their own to
// see the request without a modal dialog.
#pragma once

#include <functional>
#include <optional>

#include <QPoint>

class QWidget;

namespace views {

class GridViewModel;

struct FormatDialogRequest {
    GridViewModel* grid = nullptr;
    bool cards = false;             // the card view format dialog, else the table view one
    QWidget* parent = nullptr;      // the window the dialog belongs to
    std::optional<QPoint> topLeft;  // where the dialog's top-left corner goes; else centred on the screen
};

using FormatDialogOpener = std::function<void(const FormatDialogRequest& request)>;

// Installs the opener (an empty function removes it).
void SetFormatDialogOpener(FormatDialogOpener opener);
// Opens the format dialog through the installed opener, or the program's own dialog when
// none is installed. Errors of the dialog are passed on.
void OpenFormatDialog(const FormatDialogRequest& request);

}  // namespace views
