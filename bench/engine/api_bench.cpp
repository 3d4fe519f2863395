// api_bench [BIG_ROWS [INDEXED_ROWS]]: prints what lookups by an integer key cost through a
// connection, in a table of 50,000 rows and in one of BIG_ROWS (default 5,000,000): the first
// SELECT by key (which builds the key index), warm SELECTs and DELETEs by key, and opening the
// whole table as a recordset to append one row. Each key matches two rows. Then, for a table
// with a structural index tag on the key at 10,000 and INDEXED_ROWS (default 1,000,000) rows:
// appends through AddNew/Update (each also inserts its key into the tag) and SELECTs answered
// from the tag.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "engine/api/connection.h"
#include "engine/api/key_index.h"
#include "engine/api/recordset.h"
#include "engine/dbf/table.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Micros(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

void MakeTable(const fs::path& file, uint32_t rows) {
    auto t = engine::Table::Create(file, {{.name = "PtNum", .type = 'I'},
                                          {.name = "Name", .type = 'C', .length = 20},
                                          {.name = "Amount", .type = 'N', .length = 10, .decimals = 2}});
    for (uint32_t i = 0; i < rows; ++i)
        t->Append({engine::Value(int64_t{i / 2}), engine::Value("name " + std::to_string(i)), engine::Value(i * 0.5)});
}

void Measure(const fs::path& folder, uint32_t rows) {
    const std::string name = "t" + std::to_string(rows);
    auto start = Clock::now();
    MakeTable(folder / (name + ".dbf"), rows);
    std::printf("%u rows: table written in %.1f s\n", rows, Micros(start) / 1e6);

    engine::api::key_index::Clear();
    engine::api::Connection c;
    c.SetConnectionString("SourceDB=" + folder.string() + ";SourceType=DBF");
    c.Open();
    std::mt19937 random(7);
    std::uniform_int_distribution<uint32_t> key(0, rows / 2 - 1);

    start = Clock::now();
    const auto first = c.Execute("SELECT * FROM " + name + " WHERE PtNum = " + std::to_string(key(random)));
    std::printf("  first SELECT by key (builds the index): %10.1f ms, %zu rows\n", Micros(start) / 1000,
                first.rows->rows.size());

    const int lookups = 2000;
    start = Clock::now();
    size_t found = 0;
    for (int i = 0; i < lookups; ++i)
        found += c.Execute("SELECT * FROM " + name + " WHERE PtNum = " + std::to_string(key(random))).rows->rows.size();
    std::printf("  warm SELECT by key:                     %10.1f us each (%zu rows in %d)\n", Micros(start) / lookups,
                found, lookups);

    const int deletes = 500;
    start = Clock::now();
    long marked = 0;
    for (int i = 0; i < deletes; ++i)
        marked += c.Execute("DELETE FROM " + name + " WHERE PtNum = " + std::to_string(key(random))).recordsAffected;
    std::printf("  DELETE by key:                          %10.1f us each (%ld rows marked)\n", Micros(start) / deletes,
                marked);

    const int appends = 200;
    start = Clock::now();
    for (int i = 0; i < appends; ++i) {
        engine::api::Recordset rs;
        rs.Open(name, c, 3, 3, 2);
        rs.AddNew();
        rs.Fields().Item("PtNum").SetValue(engine::Value(int64_t{rows + i}));
        rs.Fields().Item("Name").SetValue(engine::Value("appended"));
        rs.Update();
        rs.Close();
    }
    std::printf("  open whole table as recordset + append: %10.1f us each\n", Micros(start) / appends);
    start = Clock::now();
    const auto after = c.Execute("SELECT * FROM " + name + " WHERE PtNum = " + std::to_string(rows + 3));
    std::printf("  SELECT by key after the appends:        %10.1f us (%zu row, index builds so far %ld)\n",
                Micros(start), after.rows->rows.size(), engine::api::key_index::BuildCount());
}

void MeasureIndexed(const fs::path& folder, uint32_t rows) {
    const std::string name = "x" + std::to_string(rows);
    auto start = Clock::now();
    {
        const fs::path file = folder / (name + ".dbf");
        MakeTable(file, rows);
        auto t = engine::Table::Open(file, engine::OpenMode::Exclusive);
        t->CreateIndex({{"PtNum", "PtNum", "", false, false}, {"Name", "UPPER(Name)", "", false, false}});
    }
    std::printf("%u rows with tags PtNum and UPPER(Name): written and indexed in %.1f s\n", rows, Micros(start) / 1e6);

    engine::api::key_index::Clear();
    engine::api::Connection c;
    c.SetConnectionString("SourceDB=" + folder.string() + ";SourceType=DBF");
    c.Open();
    const int appends = 1000;
    {
        engine::api::Recordset rs;
        rs.Open(name, c, 3, 3, 2);
        start = Clock::now();
        for (int i = 0; i < appends; ++i) {
            rs.AddNew();
            rs.Fields().Item("PtNum").SetValue(engine::Value(int64_t{rows + i}));
            rs.Fields().Item("Name").SetValue(engine::Value("appended " + std::to_string(i)));
            rs.Update();
        }
        std::printf("  AddNew/Update on an open recordset:     %10.1f us per row (2 keys each)\n",
                    Micros(start) / appends);
    }
    std::mt19937 random(7);
    std::uniform_int_distribution<uint32_t> key(0, rows / 2 - 1);
    const int lookups = 2000;
    start = Clock::now();
    size_t found = 0;
    for (int i = 0; i < lookups; ++i)
        found += c.Execute("SELECT * FROM " + name + " WHERE PtNum = " + std::to_string(key(random))).rows->rows.size();
    std::printf("  SELECT by key from the tag:             %10.1f us each (%zu rows in %d, key index builds %ld)\n",
                Micros(start) / lookups, found, lookups, engine::api::key_index::BuildCount());
}

}  // namespace

int main(int argc, char** argv) {
    const uint32_t big = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 5000000;
    const fs::path folder = fs::temp_directory_path() / ("api-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    Measure(folder, 50000);
    Measure(folder, big);
    const uint32_t indexed = argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 1000000;
    MeasureIndexed(folder, 10000);
    MeasureIndexed(folder, indexed);
    fs::remove_all(folder);
    return 0;
}
