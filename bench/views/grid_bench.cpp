// Times the record grid over 100,000 in-memory patient rows: loading the patient layout
// until the first screen is drawn, sorting by another column, grouping by the last name's
// initial, collapsing and expanding; and the process's resident memory before and after, to
// show that the grid keeps row numbers, not copies of the rows. Prints figures only.
#include <QApplication>
#include <QTableView>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "views/memory_record_source.h"
#include "views/record_grid.h"
#include "../support/resident_memory.h"

namespace {

using bench_support::ResidentKilobytes;

std::shared_ptr<views::MemoryRecordSource> Patients(int count) {
    static const char* const kLast[] = {
        "Smith",  "Jones",   "Brown", "Miller", "Davis",  "Garcia",   "Wilson", "Moore", "Taylor", "Anderson",
        "Thomas", "Jackson", "White", "Harris", "Martin", "Thompson", "Young",  "King",  "Lopez",  "Hill",
        "Scott",  "Green",   "Adams", "Baker",  "Nelson", "Carter",   "Quinn",  "Ortiz", "Evans",  "Foster"};
    static const char* const kFirst[] = {"Ann", "Bob", "Cy", "Dee", "Eve", "Fay", "Gus", "Hal", "Ida", "Jo"};
    auto source = std::make_shared<views::MemoryRecordSource>(std::vector<std::string>{
        "PtNum", "LastNam", "FirstNam", "MI", "Title1", "HomPhone", "BusPhone", "SSN", "Birthday", "Initial"});
    source->Reserve(count);
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int i = 0; i < count; ++i) {
        const std::string last = std::string(kLast[next() % 30]) + std::to_string(next() % 500);
        char phone[16];
        std::snprintf(phone, sizeof phone, "555.%03u.%04u", next() % 1000, next() % 10000);
        source->AddRecord(
            {engine::Value(i + 1), engine::Value(last), engine::Value(kFirst[next() % 10]), engine::Value("Q"),
             engine::Value("Mr."), engine::Value(phone), engine::Value(phone), engine::Value("123-45-6789"),
             engine::Value(
                 engine::Date{engine::JulianDayFromYmd(1930 + next() % 90, 1 + next() % 12, 1 + next() % 28)}),
             engine::Value(last.substr(0, 1))});
    }
    return source;
}

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr int kRows = 100000;
    const std::filesystem::path layout = std::filesystem::path(ARCHIVE_SOURCE_DIR) / "demo" / "etc" / "patients.lyt";

    const long rssStart = ResidentKilobytes();
    auto rows = Patients(kRows);
    const long rssData = ResidentKilobytes();
    views::SetRecordSourceOpener([&rows](const std::string&, const std::string&) {
        return std::unique_ptr<views::RecordSource>(new views::MemoryRecordSource(*rows));
    });
    // The opener above copies the rows once, as a real recordset would hold them itself.
    views::RecordGrid grid;
    grid.resize(1000, 700);
    grid.show();
    app.processEvents();
    const long rssBefore = ResidentKilobytes();

    auto start = std::chrono::steady_clock::now();
    grid.LoadLayoutFile(layout.string(), true, "");
    grid.repaint();
    app.processEvents();
    const double openMs = Since(start);
    const long rssOpen = ResidentKilobytes();

    start = std::chrono::steady_clock::now();
    grid.SortKeys().Clear();
    grid.SortKeys().Add(9, -1);  // by birthday
    grid.Resort();
    grid.repaint();
    app.processEvents();
    const double sortMs = Since(start);

    grid.Columns().Add("Initial", "Initial").SetVisible(false);
    start = std::chrono::steady_clock::now();
    grid.Groups().Clear();
    grid.Groups().Add(static_cast<int16_t>(grid.Columns().Count()), 1);
    grid.Regroup(false);
    grid.repaint();
    app.processEvents();
    const double groupMs = Since(start);

    start = std::chrono::steady_clock::now();
    grid.CollapseAll();
    grid.repaint();
    grid.ExpandAll();
    grid.repaint();
    app.processEvents();
    const double collapseMs = Since(start);
    const long rssAfter = ResidentKilobytes();

    std::printf("rows                         %d\n", grid.RowCount());
    std::printf("open layout, first screen    %8.1f ms\n", openMs);
    std::printf("sort by birthday             %8.1f ms\n", sortMs);
    std::printf("group by last-name initial   %8.1f ms  (%d groups)\n", groupMs, grid.Arrangement().GroupCount());
    std::printf("collapse all + expand all    %8.1f ms\n", collapseMs);
    std::printf("RSS at start                 %8ld KiB\n", rssStart);
    std::printf("RSS with the test rows       %8ld KiB  (+%ld for the rows)\n", rssData, rssData - rssStart);
    std::printf("RSS with an empty grid       %8ld KiB\n", rssBefore);
    std::printf("RSS after open               %8ld KiB  (+%ld: the recordset copy and the grid)\n", rssOpen,
                rssOpen - rssBefore);
    std::printf("RSS after sort/group/collapse%8ld KiB  (+%ld)\n", rssAfter, rssAfter - rssOpen);
    views::SetRecordSourceOpener(nullptr);
    return 0;
}
