// frmConfirmPwd: the small modal dialog in which the user types the delete password before an
// archive run. Each time it is shown it empties the password box and puts the focus there;
// Close (also Enter and Escape) hides it, and the caller then reads what was typed. F1 opens
// the help file at the dialog's help context.
//
// Used by the delete-privilege check (delete_patient.h). User-interface thread only; a modal
// dialog lives on the caller's stack.
#pragma once

#include <QDialog>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace app {

class frmConfirmPwd : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 780;

    // helpFile: the help file F1 opens (through the user-interface seam).
    explicit frmConfirmPwd(std::string helpFile, QWidget* parent = nullptr);
    ~frmConfirmPwd() override;

    // Shows the dialog modally and returns once it is hidden.
    void ShowModal();
    // What is in the password box (UTF-8). Closing the window by its frame instead of Close
    // empties the box, so that only a password confirmed with Close counts.
    std::string Password() const;

    int HelpContextID() const { return m_helpContextId; }
    const std::string& HelpFile() const { return m_helpFile; }

    void Form_Activate();
    void cmdClose_Click();
    void Form_KeyDown(int keyCode);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    std::string m_helpFile;
    int m_helpContextId = 0;
    QLabel* m_lblPwd = nullptr;
    QLineEdit* m_txtPwd = nullptr;
    QPushButton* m_cmdClose = nullptr;
};

}  // namespace app
