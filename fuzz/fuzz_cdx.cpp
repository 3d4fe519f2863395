// Fuzzes a structural index (.cdx) beside a small valid table made at start-up: open, seek,
// walk, verify, and keep the index up to date through an append and a deletion mark. The
// table is made on disk once; every input runs on a copy in the in-memory file system.
#include <cstdint>
#include <cstdlib>

#include "engine/dbf/table.h"
#include "engine/error.h"
#include "fuzz_support.h"

namespace {

using fuzzing::Try;

engine::Date Day(int year, int month, int day) { return {engine::JulianDayFromYmd(year, month, day)}; }

// Writes the table with its index, keeps its files' bytes, and (when FUZZ_SEED_DIR is set)
// drops the valid index there as a seed.
fuzzing::FolderImage MakeTemplate() {
    const fuzzing::Scratch folder("cdx-template");
    {
        auto table = engine::Table::Create(folder / "t.dbf", {{.name = "ID", .type = 'I', .length = 4},
                                                              {.name = "NAME", .type = 'C', .length = 12},
                                                              {.name = "BORN", .type = 'D', .length = 8},
                                                              {.name = "NOTE", .type = 'M', .length = 4}});
        const char* names[] = {"Adams", "baker", "Clark", "adams", "Evans", "Ford"};
        for (int i = 0; i < 6; ++i)
            table->Append({engine::Value(int64_t{i + 1}), engine::Value(names[i]),
                           engine::Value(Day(1950 + i, 1 + i, 3)), engine::Value(std::string(i * 20, 'n'))},
                          i == 4);
        table->CreateIndex({{.name = "ID", .expression = "ID", .candidate = true},
                            {.name = "NAME", .expression = "UPPER(NAME)"},
                            {.name = "BORN", .expression = "DTOS(BORN)", .forExpression = "!DELETED()"},
                            {.name = "NAMEDESC", .expression = "NAME+STR(ID,4)", .descending = true}});
        table->Close();
    }
    fuzzing::FolderImage made;
    made.Add("t.dbf", fuzzing::ReadBytes(folder / "t.dbf"));
    made.Add("t.fpt", fuzzing::ReadBytes(folder / "t.fpt"));
    if (const char* seeds = std::getenv("FUZZ_SEED_DIR"))
        fuzzing::WriteBytes(std::filesystem::path(seeds) / "template.cdx", fuzzing::ReadBytes(folder / "t.cdx"));
    return made;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzzing::FolderImage kTemplate = MakeTemplate();
    static engine::dbf::MemoryFileSystem& memory = []() -> engine::dbf::MemoryFileSystem& {
        kTemplate.Restore();
        return fuzzing::Memory();
    }();
    const auto& folder = fuzzing::kMemoryFolder;
    // The table's files as the template has them for the next input; the index goes.
    const fuzzing::AtEnd reset([] { kTemplate.Restore(); });
    memory.WriteFile(folder / "t.cdx", std::string_view(reinterpret_cast<const char*>(data), size));

    std::unique_ptr<engine::Table> table;
    try {
        table = engine::Table::Open(folder / "t.dbf", engine::OpenMode::Exclusive);
    } catch (const engine::Error&) {
        return 0;
    }
    size_t tags = 0;
    Try([&] { tags = table->IndexTags().size(); });
    Try([&] { table->SeekEqual(0, engine::Value(int64_t{3})); });
    Try([&] { table->SeekEqual(1, engine::Value("ADAMS")); });
    Try([&] { table->SeekEqual(2, engine::Value(Day(1952, 3, 3))); });
    Try([&] { table->VerifyIndex(); });
    for (size_t tag = 0; tag < tags && tag < 8; ++tag) {
        Try([&] { table->IndexEntries(tag); });
        Try([&] { table->ExpectedIndexEntries(tag); });
    }
    Try([&] { table->Append({engine::Value(int64_t{7}), engine::Value("Grant"), engine::Value(Day(1970, 7, 7))}); });
    Try([&] {
        table->Overwrite(1, {engine::Value(int64_t{2}), engine::Value("Baxter"), engine::Value(Day(1951, 2, 3))});
    });
    Try([&] { table->SetDeleted(2, true); });
    Try([&] { table->SeekEqual(1, engine::Value("GRANT")); });
    Try([&] { table->VerifyIndex(); });
    Try([&] { table->Reindex(); });
    return 0;
}
