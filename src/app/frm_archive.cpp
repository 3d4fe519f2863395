#include "app/frm_archive.h"

#include <algorithm>

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "app/grid_popup.h"
#include "app/patient_grid.h"
#include "app/window_tools.h"
#include "common/process.h"
#include "common/ui.h"
#include "engine/api/connection.h"
#include "folders/folder_bar.h"
#include "settings/most_recent_files.h"
#include "tips/frm_tip.h"
#include "views/record_grid.h"

namespace app {
namespace {

constexpr int32_t kStatusTopTwips = 2000;

}  // namespace

StartupEnvironment StartupEnvironment::FromProcess() {
    StartupEnvironment environment;
    environment.programFolder = common::ProgramFolder();
    return environment;
}

frmArchive::frmArchive(StartupEnvironment environment, QWidget* parent)
    : QWidget(parent), m_environment(std::move(environment)) {
    setObjectName("frmArchive");
    setWindowTitle("Corvane Patient Archival");
    CreateControls();
    resize(qRound(kDesignInnerWidth / TwipsPerPixelX()), qRound(kDesignInnerHeight / TwipsPerPixelY()));
    ApplyGeometry();
}

frmArchive::~frmArchive() = default;

// ---- services for long operations ----

void frmArchive::ShowStatus(const std::string& title, const std::string& text, bool bringToFront) {
    tips::frmTip& tip = Tip();
    if (tip.isVisible() && !EventsDue()) {
        // Between rounds the words are kept; the next round puts them in the balloon (setting
        // them now would lay the balloon out again for a picture nobody sees before then).
        m_pendingTitle = title;
        m_pendingText = text;
        m_textsPending = true;
        return;
    }
    m_textsPending = false;
    tips::BalloonArgs args;
    args.lPosY = kStatusTopTwips;  // centred across the screen, this far from its top
    args.sIcon = "i";
    args.bShowClose = true;
    args.lAutoCloseAfter = 0;  // stays until hidden
    args.sFont = "MS Sans Serif";
    tip.DisplayMsg(title, text, args);
    if (bringToFront) {
        // Raised above the other windows without being pinned there.
        SetTopmost(&tip, true);
        SetTopmost(&tip, false);
    }
    ProcessEvents();
}

void frmArchive::HideStatus() {
    m_textsPending = false;
    Tip().HideBalloon();
}

tips::frmTip& frmArchive::Tip() {
    if (!m_statusTip) m_statusTip = std::make_unique<tips::frmTip>();
    return *m_statusTip;
}

bool frmArchive::StopRequested() {
    if (EventsDue()) ProcessEvents();
    return m_stopFlag;
}

bool frmArchive::EventsDue() const { return m_clock() - m_lastEvents >= kEventInterval; }

void frmArchive::ProcessEvents() {
    if (m_textsPending && m_statusTip) {
        m_textsPending = false;
        m_statusTip->SetTexts(m_pendingTitle, m_pendingText);
    }
    ui::Current().DoEvents();
    m_lastEvents = m_clock();
}

// ---- event handlers ----

void frmArchive::Form_KeyUp(int keyCode, int) {
    if (keyCode == kKeyF1) ui::Current().ShowHelp(m_appPath + "/" + kHelpFile, m_helpContextId);
}

void frmArchive::cmdStop_Click() { m_stopFlag = true; }

void frmArchive::cmdClose_Click() { close(); }

void frmArchive::Form_Unload() { m_statusTip.reset(); }

void frmArchive::Form_Resize() {
    ResizeLayout(m_geometry, qRound(width() * TwipsPerPixelX()), qRound(height() * TwipsPerPixelY()));
    ApplyGeometry();
}

void frmArchive::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmArchive::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && !event->isAutoRepeat()) {
        Form_KeyUp(kKeyF1, 0);
        event->accept();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void frmArchive::closeEvent(QCloseEvent* event) {
    if (m_runInProgress) {
        // The window never goes while a run goes on: the user may only ask for the run to end.
        event->ignore();
        if (m_closeAfterRun) return;  // already asked, and stopping
        if (ui::Current().MessageBox(kStopRunQuestion, ui::Buttons::YesNo, ui::Icon::Question, "Archive") ==
            ui::Answer::Yes) {
            m_stopFlag = true;  // as the Stop button
            m_closeAfterRun = true;
        }
        return;
    }
    Form_Unload();
    QWidget::closeEvent(event);
}

// ---- controls ----

void frmArchive::CreateControls() {
    m_lblArchive = new QLabel(this);
    m_lblArchive->setObjectName("lblArchive");
    CreateFolderBar();
    m_grdPatients = MakePatientGrid(this);
    m_gridPopup = new GridPopup(this, [this] { return m_appPath + "/" + kHelpFile; });
    m_gridPopup->Attach(m_grdPatients);

    m_cmdArchive = new QPushButton("Archive", this);
    m_cmdArchive->setObjectName("cmdArchive");
    m_cmdStop = new QPushButton(this);
    m_cmdStop->setObjectName("cmdStop");
    m_cmdStop->setIcon(style()->standardIcon(QStyle::SP_BrowserStop));
    m_cmdStop->setToolTip("Stop");
    m_cmdStop->hide();
    m_cmdClose = new QPushButton("Close", this);
    m_cmdClose->setObjectName("cmdClose");

    connect(m_cmdArchive, &QPushButton::clicked, this, [this] { cmdArchive_Click(); });
    connect(m_cmdStop, &QPushButton::clicked, this, [this] { cmdStop_Click(); });
    connect(m_cmdClose, &QPushButton::clicked, this, [this] { cmdClose_Click(); });
    CreateFindButton();
    CreateRestoreButton();
}

void frmArchive::ReplaceGrid(views::RecordGrid* grid) {
    delete m_grdPatients;
    m_grdPatients = grid;
    m_grdPatients->setParent(this);
    m_gridPopup->Attach(m_grdPatients);
    Place(m_grdPatients, m_geometry.grdPatients);
    m_grdPatients->show();
}

void frmArchive::SetArchiveCaption(const std::string& text) {
    m_lblArchive->setText(QString::fromStdString(text));
    Place(m_lblArchive, m_geometry.lblArchive);
}

double frmArchive::TwipsPerPixelX() const { return 1440.0 / std::max(1, logicalDpiX()); }
double frmArchive::TwipsPerPixelY() const { return 1440.0 / std::max(1, logicalDpiY()); }

void frmArchive::Place(QWidget* widget, const TwipsRect& rect) const {
    int width = qRound(rect.width / TwipsPerPixelX());
    int height = qRound(rect.height / TwipsPerPixelY());
    if (widget == m_lblArchive) {
        // The caption names the whole database path: the label grows to show all of it.
        const QSize needed = m_lblArchive->sizeHint();
        width = std::max(width, needed.width());
        height = std::max(height, needed.height());
    }
    widget->setGeometry(qRound(rect.left / TwipsPerPixelX()), qRound(rect.top / TwipsPerPixelY()), width, height);
}

void frmArchive::ApplyGeometry() {
    Place(m_lblArchive, m_geometry.lblArchive);
    Place(m_suiFolders, m_geometry.suiFolders);
    Place(m_grdPatients, m_geometry.grdPatients);
    Place(m_cmdArchive, m_geometry.cmdArchive);
    Place(m_cmdStop, m_geometry.cmdStop);
    Place(m_cmdClose, m_geometry.cmdClose);
    PlaceFindButton();
    PlaceRestoreButton();
}

}  // namespace app
