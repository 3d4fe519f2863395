#include "app/frm_confirm_pwd.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/ui.h"

namespace app {

frmConfirmPwd::frmConfirmPwd(std::string helpFile, QWidget* parent) : QDialog(parent), m_helpFile(std::move(helpFile)) {
    setObjectName("frmConfirmPwd");
    setWindowTitle("Confirm Password");
    setModal(true);

    m_lblPwd = new QLabel("Password", this);
    m_lblPwd->setObjectName("lblPwd");
    m_txtPwd = new QLineEdit(this);
    m_txtPwd->setObjectName("txtPwd");
    m_txtPwd->setEchoMode(QLineEdit::Password);
    // Every typed character shows as "*", whatever the style's own mask character is.
    m_txtPwd->setStyleSheet("lineedit-password-character: 42");
    m_lblPwd->setBuddy(m_txtPwd);
    m_cmdClose = new QPushButton("Close", this);
    m_cmdClose->setObjectName("cmdClose");
    m_cmdClose->setDefault(true);
    connect(m_cmdClose, &QPushButton::clicked, this, [this] { cmdClose_Click(); });

    auto* row = new QHBoxLayout;
    row->addWidget(m_lblPwd);
    row->addWidget(m_txtPwd, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(300, 0)));
}

frmConfirmPwd::~frmConfirmPwd() = default;

void frmConfirmPwd::ShowModal() { exec(); }

std::string frmConfirmPwd::Password() const { return m_txtPwd->text().toStdString(); }

void frmConfirmPwd::Form_Activate() {
    m_helpContextId = kHelpContext;
    m_txtPwd->clear();
    m_txtPwd->setFocus();
}

void frmConfirmPwd::cmdClose_Click() { accept(); }

void frmConfirmPwd::Form_KeyDown(int keyCode) {
    if (keyCode == Qt::Key_F1) ui::Current().ShowHelp(m_helpFile, m_helpContextId);
}

void frmConfirmPwd::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Form_Activate();
}

void frmConfirmPwd::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            // Close is both the default and the cancel button.
            m_cmdClose->click();
            return;
        case Qt::Key_F1:
            // Taken on the press: the text box keeps key releases to itself.
            Form_KeyDown(event->key());
            return;
        default: QDialog::keyPressEvent(event);
    }
}

void frmConfirmPwd::closeEvent(QCloseEvent* event) {
    // Closed by the window frame: nothing was confirmed.
    m_txtPwd->clear();
    QDialog::closeEvent(event);
}

}  // namespace app
