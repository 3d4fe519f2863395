// frmFindPatient: activation, the look-for methods, the grid set-up, searching, choosing and
// returning a record, Close and Clear, and saving a changed layout.
#include <cmath>
#include <filesystem>

#include <QComboBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include "common/files.h"
#include "common/product.h"
#include "common/ui.h"
#include "engine/api/recordset.h"
#include "engine/error.h"
#include "folders/find_item.h"
#include "folders/find_selection.h"
#include "folders/folder_file.h"
#include "folders/frm_find_patient.h"
#include "folders/record_search.h"
#include "folders/xml_tools.h"
#include "settings/xml_reg.h"
#include "ui_frm_find_patient.h"
#include "views/layout_file.h"
#include "views/record_grid.h"
#include "views/recordset_source.h"

namespace folders {
namespace {

constexpr const char* kModule = "frmFindPatient";
constexpr const char* kLookForSection = "Look For";
constexpr const char* kAppTitle = "Archive";
constexpr const char* kInvalidSelection = "Invalid selection.";

// Runs a step whose failure is passed over.
template <class Step>
void Skip(Step&& step) {
    try {
        step();
    } catch (...) {
    }
}

// The file itself, or the entry of its folder whose name matches it apart from case (files
// copied from Windows may have their names in another case).
std::string ExistingPath(const std::string& path) {
    std::error_code error;
    if (path.empty() || std::filesystem::exists(path, error)) return path;
    const std::filesystem::path file(path);
    return common::FindInFolder(file.parent_path().string(), file.filename().string()).value_or(path);
}

// The hourglass unless it shows already; put back as found.
class BusyPointer {
public:
    BusyPointer() : m_set(!ui::Current().BusyCursor()) {
        if (m_set) ui::Current().SetBusyCursor(true);
    }
    ~BusyPointer() {
        if (m_set) ui::Current().SetBusyCursor(false);
    }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

private:
    bool m_set;
};

}  // namespace

// ---- activation ----

void frmFindPatient::Form_Activate() {
    m_cancelled = true;
    if (m_item) {
        m_savedValue = m_item->Value();
        m_savedState = m_item->State();
        m_savedText = m_item->Text();
    }
    if (m_clone) Skip([&] { m_savedBookmark = m_clone->Bookmark(); });
    SetUpGrid();

    QComboBox* methods = m_ui->cboLookForMethod;
    if (m_searchOn == -2) {
        if (m_clone) Skip([&] { m_clone->SetBookmark(m_savedBookmark); });
    } else if (m_searchOn < 0) {
        cmdFindNow_Click();
    } else {
        // One search with the asked method; the method list and the remembered choice end as
        // they were.
        const int remembered = methods->currentIndex();
        if (m_searchOn < methods->count()) methods->setCurrentIndex(m_searchOn);
        cmdFindNow_Click();
        if (remembered >= 0) methods->setCurrentIndex(remembered);
    }
    Skip([&] { ReturnSelection(); });
    KeepOnScreen();
    m_ui->txtLookFor->selectAll();
    m_ui->txtLookFor->setFocus(Qt::OtherFocusReason);
}

void frmFindPatient::KeepOnScreen() {
    const ui::ScreenSize screen = ui::Current().Screen();
    const QRect frame = frameGeometry();
    int top = frame.top();
    int left = frame.left();
    if (top + frame.height() > screen.heightPixels) top = screen.heightPixels - frame.height();
    if (left + frame.width() > screen.widthPixels) left = screen.widthPixels - frame.width();
    if (top != frame.top() || left != frame.left()) move(left, top);
}

// ---- look-for methods ----

void frmFindPatient::LoadLookFor() {
    if (!Ready()) return;
    const std::optional<std::string> error = LoadFolderFile(ExistingPath(m_parameterFile), m_folderDoc);
    if (error) {
        product::ReportError(kModule, "LoadLookFor", *error, true);
        return;
    }
    std::string titles;
    const int16_t defaultIndex = GetLookInTitles(m_folderDoc, m_folder, titles);
    QComboBox* methods = m_ui->cboLookForMethod;
    {
        // Filling the list is no choice of the user's: nothing is remembered yet.
        const QSignalBlocker quiet(methods);
        methods->clear();
        if (!titles.empty()) {
            for (const QString& title : QString::fromStdString(titles).split(';')) methods->addItem(title);
        }
        methods->setCurrentIndex(-1);
    }
    int index = defaultIndex;
    if (settings::XMLReg) {
        const std::string remembered =
            settings::XMLReg->GetSetting(kLookForSection, m_lookForKey, std::to_string(defaultIndex));
        try {
            index = std::stoi(remembered);
        } catch (...) {
            index = -1;
        }
    }
    if (index >= 0 && index < methods->count()) methods->setCurrentIndex(index);
}

void frmFindPatient::cboLookForMethod_Click() {
    QComboBox* methods = m_ui->cboLookForMethod;
    if (methods->currentIndex() == -1 && methods->count() > 0) {
        methods->setCurrentIndex(0);  // runs this step again for the first method
        return;
    }
    SaveLookForSetting(methods->currentIndex());
}

void frmFindPatient::SaveLookForSetting(int index) {
    if (settings::XMLReg) settings::XMLReg->SaveSetting(kLookForSection, m_lookForKey, std::to_string(index));
}

// ---- the grid ----

void frmFindPatient::SetUpGrid() {
    if (!Ready()) return;
    LoadLookFor();
    views::RecordGrid& grid = *m_ui->grdFind;
    // The layout gives the columns and their formats; the rows are the clone's, so the
    // layout's own record source is not opened.
    Skip([&] { grid.ApplyLayoutText(views::ReadLayoutFile(ExistingPath(m_layoutFile))); });
    Skip([&] { grid.SetBoundRecordset(std::make_shared<views::RecordsetSource>(m_clone)); });
    // As the grid comes up, its first row is current and selected.
    Skip([&] {
        if (grid.RowCount() > 0) grid.MoveToBookmark(grid.RowBookmark(1));
    });
    Skip([&] { m_capturedLayout = grid.LayoutText(false); });
}

void frmFindPatient::SaveLayoutIfChanged() {
    // Without a captured layout the grid never showed one: there is nothing to keep.
    if (m_capturedLayout.empty()) return;
    views::RecordGrid& grid = *m_ui->grdFind;
    try {
        if (grid.LayoutText(false) == m_capturedLayout) return;
    } catch (...) {
        return;
    }
    // Only an existing file is rewritten, made writable first.
    const std::string file = ExistingPath(m_layoutFile);
    if (!common::SetFileAttributes(file, common::kAttrNormal)) return;
    Skip([&] { grid.SaveLayoutFile(file); });
}

void frmFindPatient::ClearGridSelection() {
    BusyPointer busy;
    QTableView* table = m_ui->grdFind->Table();
    Skip([&] { table->selectionModel()->clearSelection(); });
}

// ---- searching ----

void frmFindPatient::txtLookFor_Change() {
    m_textChanged = true;
    m_ui->cmdFindNow->setText("Find Now");
}

void frmFindPatient::cmdFindNow_Click() {
    const std::string text = m_ui->txtLookFor->text().toStdString();
    if (text.empty()) return;
    const std::string title = m_ui->cboLookForMethod->currentText().toStdString();
    const std::string query = GetLookInQuery(m_folderDoc, m_folder, title);
    FindInGrid(*m_ui->grdFind, m_searchPosition, query, text, m_textChanged);
    m_ui->cmdFindNow->setText("Find Next");
}

// ---- returning a record ----

void frmFindPatient::WriteItem(const engine::Value& text, const engine::Value& value) {
    if (!m_item) throw engine::Error(engine::err::kBadArgument, "The dialog has no item to write into.");
    m_item->SetText(text);
    m_item->SetValue(value);
}

void frmFindPatient::ReturnSelection() {
    views::RecordGrid& grid = *m_ui->grdFind;
    views::SelectedRowList selected = grid.SelectedRows();
    if (selected.Count() == 0) {
        const ItemValues empty = EmptyItemValues(m_folderId);
        WriteItem(empty.Text, empty.Value);
        return;
    }
    if (m_searchOn == -2) {
        // Once: the grid goes to the record the caller's bookmark named.
        if (m_savedBookmark > 0) Skip([&] { grid.MoveToBookmark(std::llround(m_savedBookmark)); });
        m_searchOn = 0;
        selected = grid.SelectedRows();
        if (selected.Count() == 0) {
            const ItemValues empty = EmptyItemValues(m_folderId);
            WriteItem(empty.Text, empty.Value);
            return;
        }
    }
    if (!m_clone) throw engine::Error(engine::err::kBadArgument, "The dialog has no records.");
    m_clone->SetBookmark(static_cast<double>(grid.RowBookmark(selected.Item(1).RowIndex)));
    const ItemValues values = SelectedItemValues(m_folderId, *m_clone, m_itemValueFieldName);
    WriteItem(values.Text, values.Value);
}

void frmFindPatient::cmdOK_Click() {
    m_cancelled = false;
    try {
        ReturnSelection();
    } catch (...) {
        ui::MsgBox(kInvalidSelection, ui::Icon::Exclamation, kAppTitle);
        return;
    }
    done(QDialog::Accepted);
}

void frmFindPatient::grdFind_DblClick() {
    // A double click on a group row opens or closes the group; only a record is accepted.
    if (m_ui->grdFind->CurrentRowIndex() >= 1) cmdOK_Click();
}

void frmFindPatient::cmdCancel_Click() {
    m_cancelled = true;
    if (m_item && m_savedValue) m_item->SetValue(*m_savedValue);
    if (m_clone && m_savedBookmark > 0)
        Skip([&] {
            if (m_clone->RecordCount() >= 1) m_clone->SetBookmark(m_savedBookmark);
        });
    if (m_item && m_savedText) m_item->SetText(*m_savedText);
    if (m_item && m_savedState) m_item->SetState(*m_savedState);
    done(QDialog::Rejected);
}

void frmFindPatient::cmdClear_Click() {
    ClearGridSelection();
    if (m_item) {
        m_item->SetValue(engine::Value(int64_t{-1}));
        m_item->SetText(engine::Value(""));
    }
}

void frmFindPatient::grdFind_Click() {
    try {
        if (m_ui->grdFind->SelectedRows().Count() == 0) {
            const ItemValues empty = EmptyItemValues(m_folderId);
            WriteItem(empty.Text, empty.Value);
        }
    } catch (...) {
        ui::MsgBox(kInvalidSelection, ui::Icon::Exclamation, kAppTitle);
    }
}

}  // namespace folders
