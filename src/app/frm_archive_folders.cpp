// frmArchive's folder bar: its design items, filling it from the folder file at start-up, and
// what a click on an item opens in the patient grid.
#include <cmath>

#include <QItemSelectionModel>
#include <QTableView>

#include "app/frm_archive.h"
#include "app/recordset_source.h"
#include "common/exception_text.h"
#include "common/paths.h"
#include "common/product.h"
#include "common/ui.h"
#include "db/ado_tools.h"
#include "engine/api/recordset.h"
#include "folders/folder_bar.h"
#include "folders/folder_bar_loading.h"
#include "folders/folder_file.h"
#include "settings/most_recent_files.h"
#include "settings/xml_reg.h"
#include "views/grid_table_model.h"
#include "views/record_grid.h"

namespace app {
namespace {

constexpr const char* kModule = "frmArchive";
constexpr const char* kOpenedFolder = "Patients";

// Restores the default pointer however the handler is left.
class BusyPointer {
public:
    BusyPointer() { ui::Current().SetBusyCursor(true); }
    ~BusyPointer() { ui::Current().SetBusyCursor(false); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

}  // namespace

void frmArchive::CreateFolderBar() {
    m_suiFolders = new folders::FolderBar(this);
    m_suiFolders->setObjectName("suiFolders");
    QFont barFont = m_suiFolders->font();
    barFont.setFamily("MS Sans Serif");
    m_suiFolders->setFont(barFont);
    folders::FolderBarModel& items = m_suiFolders->Model();
    items.Add("Corvane", "Corvane", "Corvane", 0, folders::kFolderItemStyle);
    items.Add("Patients", "Patients", "Patients", 1, folders::kFolderItemStyle);
    connect(m_suiFolders, &folders::FolderBar::ItemClick, this,
            [this](const folders::FolderBarItem& item) { suiFolders_ItemClick(item); });
}

void frmArchive::FillFolderBar() {
    folders::ReadFolderFile(m_appPath, m_folderDoc);
    folders::LoadSubFolders(m_suiFolders->Model(), m_folderDoc);
    m_suiFolders->SelectItem(kOpenedFolder);
}

void frmArchive::suiFolders_ItemClick(const folders::FolderBarItem& item) {
    try {
        BusyPointer busy;
        if (item.Indent == 0) return;  // a heading opens nothing
        // Without a database the folder file was never read and the grid has nothing to show.
        if (!m_connection) return;
        // An undefined folder (the user has been told) or one without a layout leaves the
        // grid as it is.
        const std::optional<std::string> layoutFile = folders::FolderLayoutFile(item, m_folderDoc, m_appPath);
        if (!layoutFile) return;
        LoadGridLayout(*layoutFile, m_gridConnectionString);
        MoveGridToPatient(RecentPatient());
    } catch (...) {
        product::ReportError(kModule, "suiFolders_ItemClick", common::CurrentErrorText());
    }
}

// The most recent patient of the open database, from the recent-patients list kept beside the
// recent files. The list is read through the program's parameter store even after start-up
// has released its recent-files list: a list without a store would read nothing.
std::string frmArchive::RecentPatient() {
    settings::CMostRecentFiles afresh;
    settings::CMostRecentFiles& list = m_recentFiles ? *m_recentFiles : afresh;
    if (!list.XMLFile()) list.SetXMLFile(settings::XMLReg.get());
    list.SetSection(common::AddBackslash(common::FolderOf(m_databasePath)) + "Recent Patients");
    const std::string patient = list.GetRecordNum(1);
    list.SetSection("Recent Files");
    return patient;
}

void frmArchive::LoadGridLayout(const std::string& layoutFile, const std::string& connectionString) {
    views::RecordGrid& grid = *m_grdPatients;
    const std::string previousLayout = grid.LayoutText();
    const std::shared_ptr<views::RecordSource> previousRows = grid.BoundRecordset();
    try {
        grid.LoadLayoutFile(layoutFile, true, connectionString);
    } catch (...) {
        // A layout that cannot be read or whose rows cannot be opened leaves the grid as it was.
        grid.ApplyLayoutText(previousLayout);
        grid.SetBoundRecordset(previousRows);
        throw;
    }
    const std::shared_ptr<engine::api::Recordset> recordset = RecordsetOf(grid.BoundRecordset());
    if (recordset && recordset->RecordCount() > 0) recordset->MoveFirst();
    // The grid starts on its top row, which is current but not selected: nothing is picked
    // for archiving until the user picks it.
    const QModelIndex top = grid.Model()->index(0, 0);
    if (top.isValid()) grid.Table()->selectionModel()->setCurrentIndex(top, QItemSelectionModel::NoUpdate);
}

void frmArchive::MoveGridToPatient(const std::string& patientNumber) {
    if (patientNumber.empty()) return;
    views::RecordGrid& grid = *m_grdPatients;
    const std::shared_ptr<engine::api::Recordset> recordset = RecordsetOf(grid.BoundRecordset());
    if (!recordset) return;
    std::string criterion;
    if (AdoTools::GetField(*recordset, "PtNum")) criterion = "PtNum =" + patientNumber;
    else if (AdoTools::GetField(*recordset, "Patient Number")) criterion = "[Patient Number] =" + patientNumber;
    else return;
    recordset->MoveFirst();
    recordset->Find(criterion);
    if (!recordset->Eof() && !recordset->Bof()) grid.MoveToBookmark(std::llround(recordset->Bookmark()));
}

}  // namespace app
