#include "app/patient_grid.h"

#include "views/grid_view_model.h"
#include "views/record_grid.h"

namespace app {
namespace {

struct DesignColumn {
    const char* caption;
    const char* dataField;
    int width;  // twips
    const char* format;
};

constexpr DesignColumn kColumns[] = {
    {"Patient Number", "ptnum", 1560, ""},
    {"Last Name", "lastnam", 1800, ""},
    {"First Name", "firstnam", 1500, ""},
    {"MI", "mi", 420, ""},
    {"Title", "title1", 720, ""},
    {"Home Phone", "homphone", 1400, ""},
    {"Work Phone", "busphone", 1400, ""},
    {"SSN", "ssn", 1300, ""},
    {"Birthday", "birthday", 1200, "General Date"},
};
constexpr int kLastNameColumn = 2;
constexpr int kColumnHeaderHeight = 285;           // twips
constexpr views::OleColor kOddRows = 0x00FFFFFF;   // white
constexpr views::OleColor kEvenRows = 0x00FFFF80;  // red 128, green 255, blue 255
constexpr views::OleColor kButtonFace = 0x8000000F;

}  // namespace

const char* const kPatientGridSql =
    "SELECT PtNum, LastNam, FirstNam, Midinit AS MI, Title1, "
    "SUBSTR(HomPhone,1,3)+'.'+SUBSTR(HomPhone,4,3)+'.'+SUBSTR(HomPhone,7) AS HomPhone, "
    "SUBSTR(BusPhone,1,3)+'.'+SUBSTR(BusPhone,4,3)+'.'+SUBSTR(BusPhone,7) AS BusPhone, "
    "SUBSTR(SSN,1,3)+'-'+SUBSTR(SSN,4,2)+'-'+SUBSTR(SSN,6) AS SSN, Birthday FROM IdentFil";

void ApplyPatientGridDesign(views::GridViewModel& grid) {
    grid.ResetLayout();
    for (const DesignColumn& design : kColumns) {
        views::GridColumn& column = grid.Columns().Add(design.caption, design.dataField);
        column.SetWidth(design.width);
        column.SetFormat(design.format);
    }
    grid.SortKeys().Add(kLastNameColumn, 1);
    grid.SetRecordNavigator(true);
    grid.SetUseEvenOddColor(true);
    grid.SetOddRowsColor(kOddRows);
    grid.SetEvenRowsColor(kEvenRows);
    grid.SetBackColorHeader(kButtonFace);
    grid.SetMultiSelect(true);
    grid.SetAllowEdit(false);
    grid.SetGroupByBoxVisible(false);
    grid.SetColumnHeaderHeight(kColumnHeaderHeight);
    grid.SetRecordSourceSql(kPatientGridSql);
}

views::RecordGrid* MakePatientGrid(QWidget* parent) {
    auto* grid = new views::RecordGrid(parent);
    grid->setObjectName("grdPatients");
    ApplyPatientGridDesign(*grid);
    return grid;
}

}  // namespace app
