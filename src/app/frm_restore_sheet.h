// frmRestoreSheet: the restore's pre-flight sheet, shown after the password check and before
// anything is moved: the patients to restore, the rows per table and the notes files that
// move back, the archive folder, and the patients that are skipped (live in the practice
// again, a record number taken there) with the reason. "Restore" (default button, Enter) goes
// on; "Cancel" (Escape, closing the window) ends with nothing touched. Layout in
// frm_restore_sheet.ui; the counting is archive::ComputeRestoreSheet (Qt-free).
#pragma once

#include <memory>

#include <QDialog>

#include "archive/restore_check.h"

namespace Ui {
class frmRestoreSheet;
}  // namespace Ui

namespace app {

class frmRestoreSheet : public QDialog {
    Q_OBJECT
public:
    explicit frmRestoreSheet(const archive::RestoreSheet& sheet, QWidget* parent = nullptr);
    ~frmRestoreSheet() override;

    // Shows the sheet modally; true when the user chose Restore.
    static bool Confirm(const archive::RestoreSheet& sheet, QWidget* parent = nullptr);

private:
    std::unique_ptr<Ui::frmRestoreSheet> m_ui;
};

}  // namespace app
