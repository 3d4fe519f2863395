// frmPreflight: the pre-flight sheet shown after the password check and before an archive run
// writes anything: how many patients, the rows to move per table, the notes files, the
// patients with appointments after today and those already in the archive (listed by number
// and name), and the archive folder. "Archive" (the default button, also Enter) lets the run
// go on; "Cancel" (also Escape, or closing the window) stops it with nothing touched. The
// layout is in frm_preflight.ui; the counting is archive::ComputePreflight (Qt-free).
//
// Where it is called: the window's side of the run (frmArchive's ArchiveWindow adapter)
// answers the run's confirmation with frmPreflight::Confirm(sheet, window). User-interface
// thread only; the modal dialog lives on the caller's stack.
#pragma once

#include <memory>

#include <QDialog>

#include "archive/preflight.h"

namespace Ui {
class frmPreflight;
}  // namespace Ui

namespace app {

class frmPreflight : public QDialog {
    Q_OBJECT
public:
    explicit frmPreflight(const archive::PreflightSheet& sheet, QWidget* parent = nullptr);
    ~frmPreflight() override;

    // Shows the sheet modally; true when the user chose Archive.
    static bool Confirm(const archive::PreflightSheet& sheet, QWidget* parent = nullptr);

private:
    void Fill(const archive::PreflightSheet& sheet);
    std::unique_ptr<Ui::frmPreflight> m_ui;
};

}  // namespace app
