// The view format dialogs on the main window's patient grid over a generated practice
// database: the grid with its rows, pickers that answer from queues in place of the modal
// colour and font dialogs, and a helper that acts on a modal dialog once it is up.
#pragma once

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>

#include "app/engine_record_sources.h"
#include "app/patient_grid.h"
#include "common/recording_ui.h"
#include "practice_data.h"
#include "views/format_pickers.h"
#include "views/grid_table_model.h"
#include "views/qt_look.h"
#include "views/record_grid.h"

namespace app_testing {

// Answers the pickers from queues (an empty queue or nullopt: the user cancelled) and keeps
// the presets they were shown.
class QueuedPickers final : public views::FormatPickers {
public:
    std::optional<views::OleColor> PickColor(QWidget*, views::OleColor preset) override {
        colorPresets.push_back(preset);
        if (colors.empty()) return std::nullopt;
        const auto answer = colors.front();
        colors.pop_front();
        return answer;
    }
    std::optional<views::FontChoice> PickFont(QWidget*, const views::FontChoice& preset) override {
        fontPresets.push_back(preset);
        if (fonts.empty()) return std::nullopt;
        const auto answer = fonts.front();
        fonts.pop_front();
        return answer;
    }
    std::deque<std::optional<views::OleColor>> colors;
    std::deque<std::optional<views::FontChoice>> fonts;
    std::vector<views::OleColor> colorPresets;
    std::vector<views::FontChoice> fontPresets;
};

// Runs user on the dialog once FormatGrid shows it modally. A dialog nobody closes is
// rejected after five seconds, so a failing test ends.
inline void WhenShown(QDialog& dialog, std::function<void()> user) {
    auto attempt = std::make_shared<std::function<void(int)>>();
    *attempt = [&dialog, user, attempt](int left) {
        if (dialog.isVisible()) user();
        else if (left > 0) QTimer::singleShot(10, [attempt, left] { (*attempt)(left - 1); });
    };
    QTimer::singleShot(0, [attempt] { (*attempt)(500); });
    QTimer::singleShot(5000, &dialog, [&dialog] {
        if (dialog.isVisible()) {
            ADD_FAILURE() << "the dialog was left open";
            dialog.reject();
        }
    });
}

// Where screenshots go when ARCHIVE_FORMAT_SCREENSHOTS names a folder; empty otherwise.
inline QString ScreenshotFolder() {
    const char* folder = std::getenv("ARCHIVE_FORMAT_SCREENSHOTS");
    return folder ? QString::fromUtf8(folder) : QString();
}

class FormatGridTest : public ::testing::Test {
protected:
    void SetUp() override {
        grid.reset(app::MakePatientGrid(nullptr));
        grid->SetConnectionString(data.ConnectionString());
        grid->SetBoundRecordset(app::OpenEngineRecordSource(data.ConnectionString(), app::kPatientGridSql));
        grid->resize(900, 420);
    }
    template <typename T>
    static T* Find(QWidget& dialog, const char* name) {
        T* found = dialog.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    // The colour a swatch or label shows, as an OLE colour.
    static views::OleColor Shown(QLabel* label, QPalette::ColorRole role = QPalette::Window) {
        return views::ToOleColor(label->palette().color(role));
    }
    // An OLE colour as the grid draws it.
    QColor Drawn(views::OleColor color) const { return views::ToQColor(color, grid->palette()); }
    QColor CellBackground(int row, int column = 1) const {
        return grid->Model()->index(row, column).data(Qt::BackgroundRole).value<QColor>();
    }

    ui::RecordingUi ui;  // 15 twips to the pixel; records help calls
    PracticeData data{8};
    std::unique_ptr<views::RecordGrid> grid;
    QueuedPickers pickers;
};

}  // namespace app_testing
