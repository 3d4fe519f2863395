// frmArchive: the main window ("Corvane Patient Archival") and the program's start-up.
// Form_Load does all start-up work in a fixed order, one method per step: find the
// application folder, start the log, read the command line (which may run -create or -pack
// and end the program), create the parameter store, take the most recent database, pack its
// archive, connect, fill the folder bar and open the Patients folder, then show the window.
// The window holds the state the archive workflow works on (DatabasePath, AppPath, the
// connection, StopFlag, the status balloon) and its controls, laid out in twips by
// main_window_layout.h. Qt; one instance per program.
//
// The database work, the archive run and the grid's layout loading go through protected
// virtual methods (PackDatabase, ConnectPractice, RunArchive, LoadGridLayout,
// MoveGridToPatient), which tests override.
//
// While an archive run goes on the window stays: Close asks whether to stop the run after the
// current patient and, when told yes, closes once the run has ended; the folder bar is
// disabled (the grid stays scrollable). The status balloon and the stop check process window
// events at most kEventInterval apart, so a run that updates its status many times a second
// is not slowed by repainting, and a Stop click is still heard within a few hundredths of a
// second.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QWidget>
#include <pugixml.hpp>

#include "archive/app_folder.h"
#include "app/main_window_layout.h"
#include "archive/status_services.h"

class QLabel;
class QPushButton;

namespace engine::api {
class Connection;
}  // namespace engine::api
namespace folders {
class FolderBar;
struct FolderBarItem;
}  // namespace folders
namespace settings {
class CMostRecentFiles;
}  // namespace settings
namespace tips {
class frmTip;
}  // namespace tips
namespace views {
class RecordGrid;
}  // namespace views

namespace app {

class GridPopup;

// Where start-up looks for the program itself; tests point it at temporary folders.
struct StartupEnvironment {
    std::string programFolder;                       // the running program's folder
    std::string installedFolder = kInstalledFolder;  // the suite's fixed install folder
    std::string packagedFolder = kPackagedFolder;    // the folder Archive's own package installs
    static StartupEnvironment FromProcess();
};

class frmArchive : public QWidget, public StatusServices {
    Q_OBJECT

public:
    static constexpr int kHelpContext = 1910;
    static constexpr int kKeyF1 = 112;
    static constexpr const char* kHelpFile = "Corvane.chm";
    // The least time between two rounds of window event processing by ShowStatus and
    // StopRequested (about 30 a second).
    static constexpr std::chrono::milliseconds kEventInterval{33};
    // Asked when the window is closed while an archive run goes on.
    static constexpr const char* kStopRunQuestion = "An archive run is in progress. Stop it after the current patient?";
    // The clock the event processing is timed by; tests give one they move by hand.
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    explicit frmArchive(StartupEnvironment environment = StartupEnvironment::FromProcess(), QWidget* parent = nullptr);
    ~frmArchive() override;

    // Start-up. True when the window was shown; false when the program is to end (a
    // command-line job ran, or an unexpected error was reported): see ExitCode.
    bool Form_Load();
    bool Ended() const { return m_ended; }
    int ExitCode() const { return m_exitCode; }

    // Event handlers, callable directly.
    void Form_Resize();
    void Form_KeyUp(int keyCode, int shift);
    void cmdArchive_Click();
    void cmdStop_Click();
    void cmdClose_Click();
    // Ctrl+F and "Find...": the find dialog over the patient grid's records; an accepted
    // patient becomes the grid's current and selected row, Close leaves the grid as it was.
    void cmdFind_Click();
    // "Restore...": the restore dialog over the archive's patients (frm_restore.h); the grid
    // is read again when it restored any.
    void cmdRestore_Click();
    void Form_Unload();
    // Opens the folder of a folder-bar item in the grid (headings open nothing) and moves to
    // the database's most recent patient. Errors are reported, never passed on.
    void suiFolders_ItemClick(const folders::FolderBarItem& item);

    // Services for long operations: the status balloon and the stop check. ShowStatus keeps
    // the title and text of every call; it puts them in the balloon, shows, raises and
    // repaints it and processes pending window events only when the balloon is hidden or
    // kEventInterval has passed since events were last processed (about 30 times a second:
    // a run's many texts between two rounds touch no widget). StopRequested processes events
    // on the same terms, the latest texts going into the balloon first, and always answers
    // the stop flag as it is.
    void ShowStatus(const std::string& title, const std::string& text, bool bringToFront) override;
    void HideStatus() override;
    bool StopRequested() override;
    void SetStatusClock(Clock clock) { m_clock = std::move(clock); }
    // True from the Archive button's click until the run it started has ended.
    bool RunInProgress() const { return m_runInProgress; }
    // The status balloon; none until ShowStatus or HideStatus first runs, and after unload.
    tips::frmTip* StatusTip() const { return m_statusTip.get(); }

    // State shared with the archive workflow.
    const std::string& DatabasePath() const { return m_databasePath; }
    void SetDatabasePath(const std::string& path) { m_databasePath = path; }
    const std::string& AppPath() const { return m_appPath; }
    bool StopFlag() const { return m_stopFlag; }
    void SetStopFlag(bool stop) { m_stopFlag = stop; }
    int HelpContextID() const { return m_helpContextId; }
    // The practice connection; none until start-up connects.
    engine::api::Connection* Connection() const { return m_connection.get(); }
    // The database connection the patient grid opens its record source through.
    const std::string& GridConnectionString() const { return m_gridConnectionString; }
    // The loaded folder file.
    const pugi::xml_document& FolderDoc() const { return m_folderDoc; }

    // Controls. The patient grid starts with its designed layout; ReplaceGrid puts another
    // grid in its place (the old one is deleted).
    QLabel* lblArchive() const { return m_lblArchive; }
    folders::FolderBar* suiFolders() const { return m_suiFolders; }
    views::RecordGrid* grdPatients() const { return m_grdPatients; }
    QPushButton* cmdArchive() const { return m_cmdArchive; }
    QPushButton* cmdStop() const { return m_cmdStop; }
    QPushButton* cmdClose() const { return m_cmdClose; }
    QPushButton* cmdFind() const { return m_cmdFind; }
    QPushButton* cmdRestore() const { return m_cmdRestore; }
    void ReplaceGrid(views::RecordGrid* grid);
    // The popup menu of view commands that a right click on the patient grid opens.
    GridPopup* GridMenu() const { return m_gridPopup; }

    // The caption of lblArchive; the label grows to show all of it.
    void SetArchiveCaption(const std::string& text);

    // Where the controls are now, in twips.
    const MainWindowGeometry& Geometry() const { return m_geometry; }
    // Twips per pixel of this window's screen (1440 / logical DPI).
    double TwipsPerPixelX() const;
    double TwipsPerPixelY() const;

protected:
    // Start-up steps, in the order Form_Load runs them.
    void FindApplicationFolder();  // application folder rules; AppPath
    void StartLog();               // LogFile, and the one line every start leaves
    void ReadCommandLine();        // -D, -T, -create, -pack; the jobs end the program
    void CreateXMLReg();           // the program-wide parameter store, named after the login
    void TakeRecentDatabase();     // the most recent database, when none is known yet
    void LoadDatabase();           // pack the archive, connect, folder bar and grid; or say none
    void PackArchive();            // the archive below the database's folder, with the balloon
    // Packs folder (PackDatabase; tables that fail are shown after failedText) holding the
    // run locks of the folder for the length of the pack. When an archive run holds them or
    // another connection holds a table, nothing is packed and the reason is returned instead.
    std::optional<std::string> PackWhenFree(const std::string& folder, const std::string& failedText);
    void FillFolderBar();  // folder file, sub-folders, then the Patients folder is opened

    // The unattended jobs of the command line.
    virtual void CreateArchiveDatabase();
    // Packs every table of the database in folder; the comma-separated tables that failed.
    virtual std::string PackDatabase(const std::string& folder);

    // The archive run behind the Archive button (password, archive creation, the run, the
    // closing message). cmdArchive_Click wraps it with the window's own state for the run.
    virtual void RunArchive();

    // Opens the practice database container dbcName in folder (which ends in "/"). Throws
    // engine::Error when it cannot connect (the failure is in the log already).
    virtual std::unique_ptr<engine::api::Connection> ConnectPractice(const std::string& folder,
                                                                     const std::string& dbcName);
    // Loads a layout file into the patient grid, whose record source then opens through
    // connectionString, and puts the grid's recordset on its first record. On failure the grid
    // keeps the layout and rows it had, and the error is thrown.
    virtual void LoadGridLayout(const std::string& layoutFile, const std::string& connectionString);
    // Makes the grid's row of patient number patientNumber current (searching forward from the
    // first record by PtNum, or by "Patient Number" when the record source names it so); with
    // an empty number, or when the patient is not found, the row the grid is on. May throw.
    virtual void MoveGridToPatient(const std::string& patientNumber);

    // Marks the program as ended (the window is not shown) with an exit code.
    void EndProgram(int exitCode);

    void resizeEvent(QResizeEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void CreateFolderBar();
    void CreateFindButton();
    void PlaceFindButton();
    void CreateRestoreButton();
    void PlaceRestoreButton();
    std::string RecentPatient();
    tips::frmTip& Tip();
    bool EventsDue() const;
    void ProcessEvents();
    void ApplyGeometry();
    void Place(QWidget* widget, const TwipsRect& rect) const;

    StartupEnvironment m_environment;
    std::string m_databasePath;
    std::string m_appPath;
    bool m_stopFlag = false;
    bool m_runInProgress = false;
    bool m_closeAfterRun = false;  // Close was answered Yes during the run
    Clock m_clock = [] { return std::chrono::steady_clock::now(); };
    std::chrono::steady_clock::time_point m_lastEvents{};  // events last processed
    // The status texts given since events were last processed, for the next round.
    std::string m_pendingTitle;
    std::string m_pendingText;
    bool m_textsPending = false;
    int m_helpContextId = 0;
    bool m_ended = false;
    int m_exitCode = 0;
    std::unique_ptr<engine::api::Connection> m_connection;
    std::string m_gridConnectionString;
    std::unique_ptr<tips::frmTip> m_statusTip;
    std::unique_ptr<settings::CMostRecentFiles> m_recentFiles;
    pugi::xml_document m_folderDoc;

    MainWindowGeometry m_geometry = DesignGeometry();
    QLabel* m_lblArchive = nullptr;
    folders::FolderBar* m_suiFolders = nullptr;
    views::RecordGrid* m_grdPatients = nullptr;
    GridPopup* m_gridPopup = nullptr;
    QPushButton* m_cmdArchive = nullptr;
    QPushButton* m_cmdStop = nullptr;
    QPushButton* m_cmdClose = nullptr;
    QPushButton* m_cmdFind = nullptr;
    QPushButton* m_cmdRestore = nullptr;
};

}  // namespace app
