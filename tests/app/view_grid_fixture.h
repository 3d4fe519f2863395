// A patient grid over a generated practice database for the view dialog tests: the designed
// patient columns plus a hidden "Initial" (the last name's first letter), its rows opened on
// the engine, and counts of the regroup and re-sort calls the dialogs make.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QRadioButton>
#include <string>
#include <vector>

#include "app/engine_record_sources.h"
#include "app/patient_grid.h"
#include "common/recording_ui.h"
#include "practice_data.h"
#include "support/modal_dialog.h"
#include "views/grid_table_model.h"
#include "views/record_grid.h"

namespace app_testing {

class CountingGrid : public views::RecordGrid {
public:
    int regroups = 0;
    int resorts = 0;
    std::vector<bool> regroupedCollapsed;
    void Regroup(bool allCollapsed) override {
        ++regroups;
        regroupedCollapsed.push_back(allCollapsed);
        RecordGrid::Regroup(allCollapsed);
    }
    void Resort() override {
        ++resorts;
        RecordGrid::Resort();
    }
};

// Gives a grid the designed patient layout plus the hidden "Initial" and opens its rows.
inline void OpenPatientGrid(CountingGrid& grid, const PracticeData& data) {
    app::ApplyPatientGridDesign(grid);
    grid.Columns().Add("Initial", "Initial").SetVisible(false);
    grid.SetConnectionString(data.ConnectionString());
    std::string sql = app::kPatientGridSql;
    sql.insert(sql.find(" FROM IdentFil"), ", LEFT(LastNam,1) AS Initial");
    grid.SetRecordSourceSql(sql);
    grid.SetBoundRecordset(app::OpenEngineRecordSource(grid.ConnectionString(), grid.RecordSourceSql()));
    grid.resize(900, 500);
    grid.regroups = grid.resorts = 0;
}

class ViewGridTest : public ::testing::Test {
protected:
    static constexpr int kLastName = 2;
    static constexpr int kFirstName = 3;
    static constexpr int kTitle = 5;
    static constexpr int kInitial = 10;

    void SetUp() override {
        ui::Install(&rec);
        OpenPatientGrid(grid, data);
    }
    void TearDown() override { ui::Install(nullptr); }

    // The text of a cell of a record row, by row index, and of a group caption at a display row.
    std::string Cell(int rowIndex, int colIndex) const {
        const engine::Value value = grid.CellValue(rowIndex, colIndex);
        return value.Is<std::string>() ? value.As<std::string>() : std::string();
    }
    std::vector<views::GridGroup> Groups() const { return grid.Groups().All(); }
    std::vector<views::GridGroup> SortKeys() const { return grid.SortKeys().All(); }

    PracticeData data;
    CountingGrid grid;
    ui::RecordingUi rec;
};

// Level controls of the sort and group-by dialogs, by the names the dialogs give them.
inline QComboBox* Level(QWidget& dialog, int level) {
    return dialog.findChild<QComboBox*>(QStringLiteral("cboGroups_%1").arg(level));
}
inline QRadioButton* Order(QWidget& dialog, int index) {
    return dialog.findChild<QRadioButton*>(QStringLiteral("optOrder_%1").arg(index));
}
// Selects the entry of a level whose item value is a column Index (0 for "(None)"), as a user would.
inline void Choose(QWidget& dialog, int level, int colIndex) {
    QComboBox* list = Level(dialog, level);
    list->setCurrentIndex(list->findData(colIndex));
}

}  // namespace app_testing
