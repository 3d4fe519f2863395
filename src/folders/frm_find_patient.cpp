// frmFindPatient: loading, the public properties, the controls' wiring and the keys.
#include "folders/frm_find_patient.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include "common/ui.h"
#include "engine/api/recordset.h"
#include "folders/find_icons.h"
#include "folders/find_item.h"
#include "folders/find_kinds.h"
#include "folders/find_selection.h"
#include "ui_frm_find_patient.h"
#include "views/record_grid.h"

namespace folders {
namespace {

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The trimmed part of text before the first separator (all of it when there is none).
std::string PartBefore(const std::string& text, char separator) { return Trim(text.substr(0, text.find(separator))); }

}  // namespace

frmFindPatient::frmFindPatient(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::frmFindPatient>()) {
    m_ui->setupUi(this);
    // The window offers no close command of its own: only Accept, Close or the caller end it.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    m_searchOn = -1;
    m_helpContextId = kHelpContext;
    m_ui->txtLookFor->clear();
    m_textChanged = false;

    connect(m_ui->txtLookFor, &QLineEdit::textChanged, this, [this] { txtLookFor_Change(); });
    connect(m_ui->cboLookForMethod, &QComboBox::currentIndexChanged, this, [this] { cboLookForMethod_Click(); });
    connect(m_ui->cmdFindNow, &QPushButton::clicked, this, [this] { cmdFindNow_Click(); });
    connect(m_ui->cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(m_ui->cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(m_ui->cmdClear, &QPushButton::clicked, this, [this] { cmdClear_Click(); });
    connect(m_ui->grdFind, &views::RecordGrid::Click, this, [this] { grdFind_Click(); });
    connect(m_ui->grdFind, &views::RecordGrid::DblClick, this, [this] { grdFind_DblClick(); });

    // The dialog sees every key before the control that has the focus.
    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);

    LoadLookFor();
}

frmFindPatient::~frmFindPatient() {
    SaveLayoutIfChanged();
    if (m_cancelled) cmdCancel_Click();
    m_folderDoc.reset();
}

// ---- properties ----

void frmFindPatient::SettheItem(FindItem* item) {
    m_item = item;
    if (!m_item) return;
    const std::string text = Trim(ValueAsText(m_item->Text()));
    std::string lookFor = text;
    switch (m_folderId) {
        case kFindHospitals:
        case kFindInsurance:
        case kFindInsuranceMru:
            if (text.empty()) return;
            lookFor = PartBefore(text, '-');
            break;
        case kFindPlaceOfService:
            if (text.empty()) return;
            lookFor = PartBefore(text, ';');
            break;
        default: break;
    }
    m_ui->txtLookFor->setText(QString::fromStdString(lookFor));
}

void frmFindPatient::SetAppPath(const std::string& appPath) {
    m_appPath = appPath;
    m_parameterFile = m_appPath + "/Folders.xml";
}

void frmFindPatient::SetRecordset(const std::shared_ptr<engine::api::Recordset>& recordset) {
    m_clone = recordset ? std::shared_ptr<engine::api::Recordset>(recordset->Clone()) : nullptr;
}

bool frmFindPatient::ShowClear() const { return !m_ui->cmdClear->isHidden(); }

void frmFindPatient::SetShowClear(bool show) { m_ui->cmdClear->setVisible(show); }

void frmFindPatient::SetFolderId(int32_t folderId) {
    m_folderId = folderId;
    const FindKind* kind = FindKindOf(folderId);
    if (!kind) return;
    m_folder = kind->folder;
    m_itemValueFieldName = kind->itemValueFieldName;
    m_lookForKey = kind->lookForKey;
    m_layoutFile = m_appPath + kind->layoutFile;
    setWindowIcon(FindIcon(kind->iconKey));
    setWindowTitle(QString::fromUtf8(kind->caption));
}

double frmFindPatient::Bookmark() const {
    if (!m_clone) return 0;
    try {
        return m_clone->Bookmark();
    } catch (...) {
        return 0;
    }
}

void frmFindPatient::SetBookmark(double bookmark) {
    m_savedBookmark = bookmark;
    if (!m_clone) return;
    try {
        if (bookmark >= 1) {
            m_clone->SetBookmark(bookmark);
        } else if (m_clone->RecordCount() > 0) {
            m_clone->MoveFirst();
            m_clone->MovePrevious();
        }
    } catch (...) {
        // A bookmark of no record leaves the clone where it was.
    }
}

bool frmFindPatient::Ready() const { return !m_appPath.empty() && m_clone != nullptr; }

// ---- controls ----

views::RecordGrid* frmFindPatient::grdFind() const { return m_ui->grdFind; }
QLineEdit* frmFindPatient::txtLookFor() const { return m_ui->txtLookFor; }
QComboBox* frmFindPatient::cboLookForMethod() const { return m_ui->cboLookForMethod; }
QPushButton* frmFindPatient::cmdFindNow() const { return m_ui->cmdFindNow; }
QPushButton* frmFindPatient::cmdOK() const { return m_ui->cmdOK; }
QPushButton* frmFindPatient::cmdCancel() const { return m_ui->cmdCancel; }
QPushButton* frmFindPatient::cmdClear() const { return m_ui->cmdClear; }

// ---- window events and keys ----

void frmFindPatient::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Form_Activate();
}

void frmFindPatient::closeEvent(QCloseEvent* event) {
    // The window system's close (title bar, system menu, its keystroke) is refused; a close
    // asked for by the program runs Close.
    if (event->spontaneous()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void frmFindPatient::reject() { cmdCancel_Click(); }

bool frmFindPatient::Form_KeyDown(int key, Qt::KeyboardModifiers modifiers) {
    const bool alt = modifiers.testFlag(Qt::AltModifier);
    const bool shift = modifiers.testFlag(Qt::ShiftModifier);
    const bool ctrl = modifiers.testFlag(Qt::ControlModifier) && !alt && !shift;
    if (key == Qt::Key_F1 && !modifiers.testFlag(Qt::ControlModifier) && !alt && !shift) {
        ui::Current().ShowHelp(m_appPath + "/" + kHelpFile, m_helpContextId);
        return true;
    }
    if (!ctrl) return false;
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter: cmdOK_Click(); return true;
        case Qt::Key_L:
            if (m_ui->txtLookFor->isVisible()) m_ui->txtLookFor->setFocus(Qt::ShortcutFocusReason);
            return true;
        case Qt::Key_G:
            if (m_ui->grdFind->isVisible()) m_ui->grdFind->Table()->setFocus(Qt::ShortcutFocusReason);
            return true;
        default: return false;
    }
}

void frmFindPatient::keyPressEvent(QKeyEvent* event) {
    if (Form_KeyDown(event->key(), event->modifiers())) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool frmFindPatient::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (Form_KeyDown(key->key(), key->modifiers())) return true;
    } else if (event->type() == QEvent::FocusIn && watched == m_ui->txtLookFor) {
        // The look-for text is selected whole when it gets the focus (after the click that
        // gave it, if any).
        QTimer::singleShot(0, m_ui->txtLookFor, [edit = m_ui->txtLookFor] { edit->selectAll(); });
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace folders
