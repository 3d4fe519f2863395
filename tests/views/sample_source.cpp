#include "sample_source.h"

namespace views_test {

using engine::Date;
using engine::JulianDayFromYmd;
using engine::Value;

std::shared_ptr<views::MemoryRecordSource> SamplePatients() {
    auto source = std::make_shared<views::MemoryRecordSource>(std::vector<std::string>{
        "PtNum", "LastNam", "FirstNam", "MI", "Title1", "HomPhone", "BusPhone", "SSN", "Birthday", "Initial"});
    struct Row {
        int ptnum;
        const char* last;
        const char* first;
        int year, month, day;
    };
    const Row rows[] = {
        {101, "Baker", "Ann", 1970, 12, 4}, {102, "Adams", "Bob", 1980, 1, 2},   {103, "Clark", "Cy", 1965, 5, 6},
        {104, "Adams", "Al", 1990, 7, 8},   {105, "Baker", "Bea", 1955, 3, 9},   {106, "Adams", "Cal", 2001, 11, 30},
        {107, "Alder", "Dee", 1975, 2, 28}, {108, "Baxter", "Eve", 1985, 6, 15},
    };
    for (const Row& r : rows) {
        source->AddRecord({Value(r.ptnum), Value(std::string(r.last) + "   "), Value(r.first), Value("Q"), Value("Mr."),
                           Value("555.123.4567"), Value("555.765.4321"), Value("123-45-6789"),
                           Value(Date{JulianDayFromYmd(r.year, r.month, r.day)}), Value(std::string(1, r.last[0]))});
    }
    return source;
}

void AddPatientColumns(views::GridViewModel& grid) {
    const char* const columns[][2] = {
        {"Patient Number", "ptnum"}, {"Last Name", "lastnam"},   {"First Name", "firstnam"}, {"MI", "mi"},
        {"Title", "title1"},         {"Home Phone", "homphone"}, {"Work Phone", "busphone"}, {"SSN", "ssn"},
        {"Birthday", "birthday"},
    };
    for (const auto& column : columns) grid.Columns().Add(column[0], column[1]);
    grid.Columns().Item(9).SetFormat("General Date");
    grid.Columns().Add("Initial", "Initial").SetVisible(false);
}

}  // namespace views_test
