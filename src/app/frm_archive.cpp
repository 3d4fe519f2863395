#include "app/frm_archive.h"

#include <algorithm>

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "app/placeholders.h"
#include "app/start_switches.h"
#include "common/command_args.h"
#include "common/exception_text.h"
#include "common/process.h"
#include "common/product.h"
#include "common/ui.h"

namespace app {
namespace {

constexpr const char* kModule = "frmArchive";
constexpr const char* kAppTitle = "Archive";
constexpr const char* kHelpFile = "Corvane.chm";
constexpr int kExitError = 1;

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

// ---- start-up ----

bool frmArchive::Form_Load() {
    try {
        m_helpContextId = kHelpContext;
        FindApplicationFolder();
        StartLog();
        ReadCommandLine();
        if (m_ended) return false;
        product::WriteLog(kModule, "Form_Load", "-----------------------");
        hide();
        CreateXMLReg();
        TakeRecentDatabase();
        LoadDatabase();
        show();
        // The recent-files list is released here once it exists; start-up is its only user.
        return true;
    } catch (...) {
        product::ReportError(kModule, "Form_Load", common::CurrentErrorText());
        EndProgram(kExitError);
        return false;
    }
}

void frmArchive::FindApplicationFolder() {
    m_appPath = FindAppPath(m_environment.programFolder, m_environment.installedFolder);
}

void frmArchive::StartLog() {
    product::LogFile = m_appPath + "/Corvane.log";
    // Every start leaves this one line, whatever the switches say.
    product::DebugFlags = 1;
    product::WriteLog(kModule, "Form_Load", "AppPath = " + m_appPath);
    product::DebugFlags = 0;
}

void frmArchive::ReadCommandLine() {
    const StartSwitches switches = ParseStartSwitches(common::GetCommandArgs());
    product::DebugFlags |= switches.debugBits;
    switch (switches.mode) {
        case StartSwitches::Mode::Window:
            return;
        case StartSwitches::Mode::Create:
            m_databasePath = switches.value;
            CreateArchiveDatabase();
            EndProgram(0);
            return;
        case StartSwitches::Mode::Pack: {
            m_databasePath = switches.value;
            ShowStatus("Packing Database", "Packing Database:  " + m_databasePath, true);
            const std::string failed = PackDatabase(m_databasePath);
            if (!failed.empty())
                ui::MsgBox("The following tables could not be packed:\r\n" + failed, ui::Icon::None, kAppTitle);
            HideStatus();
            EndProgram(0);
            return;
        }
    }
}

void frmArchive::CreateXMLReg() {
    // The program-wide parameter store is created here, named after the login, with its
    // application folder set to AppPath.
    product::WriteLog(kModule, "Form_Load", "User Login = " + common::GetLoginName());
}

void frmArchive::TakeRecentDatabase() {
    // The recent-files list (section "Recent Files", 20 entries) is opened here; when no
    // database is known yet, its first entry becomes DatabasePath.
}

void frmArchive::LoadDatabase() {
    product::WriteLog(kModule, "LoadDatabase", "Database = " + m_databasePath);
    if (m_databasePath.empty()) {
        ui::MsgBox("You do not have a database.\r\nSelect a database from within Corvane.", ui::Icon::None, kAppTitle);
        return;
    }
    // The archive below the database's folder is packed and the practice database connected
    // here, before the caption names it.
    SetArchiveCaption("Select patients to archive and then the Archive button.  (" + m_databasePath + ").");
    product::WriteLog(kModule, "LoadDatabase", "Loading most recent database.");
    // Then the grid gets the connection string, the folder bar is filled from Folders.xml and
    // the "Patients" folder is selected.
}

void frmArchive::CreateArchiveDatabase() {
    product::WriteLog(kModule, "CreateArchiveDatabase",
                      "Archive database creation is not available in this build; would create the archive of " +
                          m_databasePath);
}

std::string frmArchive::PackDatabase(const std::string& folder) {
    product::WriteLog(kModule, "PackDatabase", "Packing is not available in this build; would pack " + folder);
    return {};
}

void frmArchive::EndProgram(int exitCode) {
    m_ended = true;
    m_exitCode = exitCode;
    Form_Unload();
    hide();
}

// ---- services for long operations ----

void frmArchive::ShowStatus(const std::string& title, const std::string& text, bool bringToFront) {
    // The status balloon (created on first use, centred across the screen, 2000 twips from
    // the top) shows title and text here, raised when bringToFront is set.
    ui::Current().DoEvents();
}

void frmArchive::HideStatus() {
    // The status balloon is hidden here.
}

bool frmArchive::StopRequested() {
    ui::Current().DoEvents();
    return m_stopFlag;
}

// ---- event handlers ----

void frmArchive::Form_KeyUp(int keyCode, int) {
    if (keyCode == kKeyF1) ui::Current().ShowHelp(m_appPath + "/" + kHelpFile, m_helpContextId);
}

void frmArchive::cmdArchive_Click() {
    // The archive run starts here; without a database there is nothing to do.
}

void frmArchive::cmdStop_Click() { m_stopFlag = true; }

void frmArchive::cmdClose_Click() { close(); }

void frmArchive::Form_Unload() {
    // The status balloon is released here.
}

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
    Form_Unload();
    QWidget::closeEvent(event);
}

// ---- controls ----

void frmArchive::CreateControls() {
    m_lblArchive = new QLabel(this);
    m_lblArchive->setObjectName("lblArchive");
    m_suiFolders = MakeFolderBarPlaceholder(this);
    m_grdPatients = MakeGridPlaceholder(this);

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
}

void frmArchive::ReplaceFolderBar(QWidget* folderBar) {
    delete m_suiFolders;
    m_suiFolders = folderBar;
    m_suiFolders->setParent(this);
    Place(m_suiFolders, m_geometry.suiFolders);
    m_suiFolders->show();
}

void frmArchive::ReplaceGrid(QWidget* grid) {
    delete m_grdPatients;
    m_grdPatients = grid;
    m_grdPatients->setParent(this);
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
}

}  // namespace app
