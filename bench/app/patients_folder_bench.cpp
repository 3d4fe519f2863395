// Times the main window on a generated practice database of 100,000 patients (made once and
// kept in the build folder): start-up until the first screen (connect, folder bar, the
// Patients layout's SELECT, the grid sorted by last name and drawn), opening the folder again,
// sorting by another column, opening the Active Patients folder (grouped by the last name's
// initial) and regrouping its rows; with the resident memory after each step. Prints figures.
//   patients_folder_bench [PATIENTS]
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/engine_record_sources.h"
#include "app/frm_archive.h"
#include "app/unattended_ui.h"
#include "common/process.h"
#include "folders/folder_bar.h"
#include "sample_writer.h"
#include "views/record_grid.h"
#include "../support/resident_memory.h"

namespace fs = std::filesystem;

namespace {

using bench_support::ResidentKilobytes;

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void Write(const fs::path& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }

// The generated database, made on first use.
fs::path Database(int patients) {
    const fs::path folder = fs::path(ARCHIVE_BENCH_DATA) / ("patients-" + std::to_string(patients));
    if (!fs::exists(folder / "Corvane.dbc")) {
        std::printf("generating %d patients in %s ...\n", patients, folder.c_str());
        std::fflush(stdout);
        fs::remove_all(folder);
        sample::Options options;
        options.patients = patients;
        const auto start = std::chrono::steady_clock::now();
        const sample::Summary made = sample::WriteSampleDatabase(folder, options);
        std::printf("generated %llu rows in %.1f s\n", static_cast<unsigned long long>(made.rows), Since(start) / 1000);
    }
    return folder / "Corvane.dbc";
}

// An application folder with the demo's folder file and layouts, and a parameter file that
// names the database as the most recent one.
fs::path ApplicationFolder(const fs::path& database) {
    const fs::path app = fs::path(ARCHIVE_BENCH_DATA) / "app";
    fs::remove_all(app);
    fs::create_directories(app);
    const fs::path demo = fs::path(ARCHIVE_SOURCE_DIR) / "demo";
    fs::copy(demo / "etc", app / "etc");
    fs::copy_file(demo / "Folders.xml", app / "Folders.xml");
    Write(app / "corvane.xml", "<corvane/>");
    Write(app / (common::GetLoginName() + ".xml"),
          "<?xml version=\"1.0\"?>\n<Data>\n\t<Recent-Files>\n\t\t<RecentFile1>" + database.string() +
              "</RecentFile1>\n\t</Recent-Files>\n</Data>\n");
    return app;
}

void Draw(QWidget& window) {
    window.repaint();
    QApplication::processEvents();
}

void Line(const char* what, double ms, long rss) { std::printf("%-36s %9.1f ms   RSS %8ld KiB\n", what, ms, rss); }

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    app::UnattendedUi unattended;
    ui::Install(&unattended);
    const int patients = argc > 1 ? std::stoi(argv[1]) : 100000;
    const fs::path database = Database(patients);
    app::StartupEnvironment environment;
    environment.programFolder = ApplicationFolder(database).string();
    environment.installedFolder = "/nonexistent";
    const long rssStart = ResidentKilobytes();

    app::frmArchive window(environment);
    auto start = std::chrono::steady_clock::now();
    if (!window.Form_Load()) return 1;
    Draw(window);
    const double startupMs = Since(start);
    const long rssStartup = ResidentKilobytes();
    views::RecordGrid& grid = *window.grdPatients();
    const int rows = grid.RowCount();

    // The SELECT alone, on the connection the grid keeps, for comparison.
    start = std::chrono::steady_clock::now();
    auto selected = app::OpenEngineRecordSource(grid.ConnectionString(), grid.RecordSourceSql());
    const double selectMs = Since(start);
    selected.reset();

    start = std::chrono::steady_clock::now();
    window.suiFolders_ItemClick(window.suiFolders()->Model().Item(window.suiFolders()->Model().Find("Patients")));
    Draw(window);
    const double reopenMs = Since(start);
    const long rssReopen = ResidentKilobytes();
    // Memory must level off: a folder opened again replaces its rows rather than adding a copy.
    for (int i = 0; i < 5; ++i)
        window.suiFolders_ItemClick(window.suiFolders()->Model().Item(window.suiFolders()->Model().Find("Patients")));
    Draw(window);
    const long rssReopened = ResidentKilobytes();

    start = std::chrono::steady_clock::now();
    grid.SortKeys().Clear();
    grid.SortKeys().Add(9, -1);  // birthday, newest first
    grid.Resort();
    Draw(window);
    const double sortMs = Since(start);

    start = std::chrono::steady_clock::now();
    window.suiFolders_ItemClick(
        window.suiFolders()->Model().Item(window.suiFolders()->Model().Find("Active Patients")));
    Draw(window);
    const double activeMs = Since(start);
    const int groups = grid.Arrangement().GroupCount();
    const long rssActive = ResidentKilobytes();

    grid.Groups().Clear();
    grid.Regroup(false);
    start = std::chrono::steady_clock::now();
    grid.Groups().Add(10, 1);  // the last name's initial
    grid.Regroup(false);
    Draw(window);
    const double groupMs = Since(start);
    const long rssEnd = ResidentKilobytes();

    std::printf("patients shown                       %d (Active Patients: %d in %d groups)\n", rows, grid.RowCount(),
                groups);
    Line("start-up to first screen", startupMs, rssStartup);
    Line("  of which the SELECT (again)", selectMs, 0);
    Line("open Patients again", reopenMs, rssReopen);
    Line("  and five times more", 0, rssReopened);
    Line("sort by birthday", sortMs, ResidentKilobytes());
    Line("open Active Patients (grouped)", activeMs, rssActive);
    Line("group by last-name initial", groupMs, rssEnd);
    std::printf("RSS before the window                %8ld KiB\n", rssStart);
    window.close();
    ui::Install(nullptr);
    return 0;
}
