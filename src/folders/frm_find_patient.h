// frmFindPatient: the suite's find dialog. A caller hands it a recordset of reference records
// (patients, referral sources, doctors, hospitals, insurance carriers, ...) and an item; the
// user picks a look-for method (from Folders.xml), types a text, runs Find Now / Find Next over
// the result grid, and accepts a record, whose text and value the dialog writes into the item.
//
// A caller drives it in this order: create it; set AppPath (before FolderId, which builds
// LayoutFile from it); set FolderId (the kind: caption, icon, folder, key field, settings key,
// layout file; any of them may then be overridden); set Recordset (the dialog keeps a clone,
// whose bookmarks are valid in the caller's recordset) and optionally Bookmark; set theItem,
// and optionally SearchOn and ShowClear; exec() it; read Cancelled, the item, and Bookmark;
// destroy it (which saves the grid layout when the user changed it).
//
// Each time the dialog is shown it is activated: the item's Text, Value and State and the
// clone's bookmark are saved, the look-for methods and the layout are loaded and the clone is
// bound to the grid (first row selected), then by SearchOn: -2 goes to the saved bookmark, -1
// searches with the chosen method when there is a text, 0 or more searches once with that
// method and keeps the remembered one; the item then already holds the selected row. Close
// puts the saved values back. The chosen method is remembered under "Look For" in the
// program's parameter store (settings::XMLReg), when there is one.
//
// Keys: Enter runs Find Now (the default button), Escape closes, Ctrl+Enter accepts, Ctrl+L
// goes to the look-for text, Ctrl+G to the grid, F1 opens help at context 770. The window has
// no close command of its own. Qt; user-interface thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <QDialog>
#include <pugixml.hpp>

#include "engine/value.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace Ui {
class frmFindPatient;
}  // namespace Ui
namespace engine::api {
class Recordset;
}  // namespace engine::api
namespace views {
class RecordGrid;
}  // namespace views

namespace folders {

class FindItem;

class frmFindPatient : public QDialog {
    Q_OBJECT

public:
    static constexpr int kHelpContext = 770;
    static constexpr const char* kHelpFile = "Corvane.chm";

    // The load step: no close command, SearchOn -1, help context 770, empty look-for text.
    explicit frmFindPatient(QWidget* parent = nullptr);
    // Saves the layout when it changed and, unless a record was accepted, puts the item back.
    ~frmFindPatient() override;

    // Public properties, in their declared order.
    FindItem* theItem() const { return m_item; }
    // Keeps the item (not owned; it must outlive the dialog) and prefills the look-for text
    // from its Text: for hospitals and insurance carriers the part before "-" (an empty text
    // changes nothing), for place of service the part before ";", else the whole trimmed text.
    void SettheItem(FindItem* item);
    const std::string& AppPath() const { return m_appPath; }
    // Also sets ParameterFile to AppPath + "/Folders.xml".
    void SetAppPath(const std::string& appPath);
    // The clone the dialog works on.
    std::shared_ptr<engine::api::Recordset> Recordset() const { return m_clone; }
    // Keeps a clone of recordset (nullptr forgets it).
    void SetRecordset(const std::shared_ptr<engine::api::Recordset>& recordset);
    bool ShowClear() const;
    void SetShowClear(bool show);
    void SetSearchOn(int16_t searchOn) { m_searchOn = searchOn; }
    int32_t FolderId() const { return m_folderId; }
    // Stores the kind and applies its row of the kinds table (a number of no kind changes
    // nothing else).
    void SetFolderId(int32_t folderId);
    const std::string& ParameterFile() const { return m_parameterFile; }
    void SetParameterFile(const std::string& file) { m_parameterFile = file; }
    const std::string& LookForKey() const { return m_lookForKey; }
    void SetLookForKey(const std::string& key) { m_lookForKey = key; }
    const std::string& Folder() const { return m_folder; }
    void SetFolder(const std::string& folder) { m_folder = folder; }
    const std::string& LayoutFile() const { return m_layoutFile; }
    void SetLayoutFile(const std::string& file) { m_layoutFile = file; }
    const std::string& ItemValueFieldName() const { return m_itemValueFieldName; }
    void SetItemValueFieldName(const std::string& name) { m_itemValueFieldName = name; }
    bool Cancelled() const { return m_cancelled; }
    void SetCancelled(bool cancelled) { m_cancelled = cancelled; }
    // The clone's current bookmark; 0 when it stands on no record.
    double Bookmark() const;
    // Stores the saved bookmark and positions the clone: 1 or more on that record, below 1
    // before its first record (when it has any).
    void SetBookmark(double bookmark);

    int HelpContextID() const { return m_helpContextId; }

    // Event handlers, callable directly.
    void Form_Activate();
    void txtLookFor_Change();
    void cboLookForMethod_Click();
    void cmdFindNow_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdClear_Click();
    void grdFind_Click();
    void grdFind_DblClick();
    // The key preview: true when the key was used up (Ctrl+Enter, Ctrl+L, Ctrl+G, F1).
    bool Form_KeyDown(int key, Qt::KeyboardModifiers modifiers);

    // Controls.
    views::RecordGrid* grdFind() const;
    QLineEdit* txtLookFor() const;
    QComboBox* cboLookForMethod() const;
    QPushButton* cmdFindNow() const;
    QPushButton* cmdOK() const;
    QPushButton* cmdCancel() const;
    QPushButton* cmdClear() const;

protected:
    // Ready when AppPath is set and a recordset was given.
    bool Ready() const;
    // Fills the method list from the folder file and selects the remembered method.
    void LoadLookFor();
    // Methods, layout and binding of the clone; the layout is captured to see changes later.
    void SetUpGrid();
    // Writes the first selected row (or the empty forms) into the item. Throws engine::Error.
    void ReturnSelection();
    void SaveLayoutIfChanged();
    void ClearGridSelection();
    void KeepOnScreen();

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    // Escape and the window system's close: run Close.
    void reject() override;

private:
    void WriteItem(const engine::Value& text, const engine::Value& value);
    void SaveLookForSetting(int index);

    std::unique_ptr<Ui::frmFindPatient> m_ui;
    std::string m_appPath;
    std::string m_parameterFile;
    std::shared_ptr<engine::api::Recordset> m_clone;
    int32_t m_folderId = 0;
    std::string m_folder;
    std::string m_itemValueFieldName;
    std::string m_lookForKey;
    std::string m_layoutFile;
    int16_t m_searchOn = -1;
    bool m_cancelled = false;
    FindItem* m_item = nullptr;
    double m_savedBookmark = 0;
    std::optional<engine::Value> m_savedText;
    std::optional<engine::Value> m_savedValue;
    std::optional<int32_t> m_savedState;
    std::string m_capturedLayout;
    pugi::xml_document m_folderDoc;
    bool m_textChanged = false;
    int32_t m_searchPosition = 0;
    int m_helpContextId = 0;
};

}  // namespace folders
