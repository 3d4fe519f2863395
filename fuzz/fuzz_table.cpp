// Fuzzes a table file with its memo and structural index: the input is three parts (.dbf,
// .fpt, .cdx; see fuzz_support.h), written into the in-memory file system. Every record and
// value is read, then a few writes run on the copy. Any engine::Error is a fine answer; anything else is a finding.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "engine/dbf/table.h"
#include "engine/error.h"
#include "fuzz_support.h"

namespace {

using fuzzing::Try;

// Every record of the range into one vector of values, as the engine's own readers scan a
// table: decoding reuses the strings of the record before (a new vector and strings per
// record were a third of the allocations of an input).
void ReadRecords(engine::Table& table, uint32_t from, uint32_t to) {
    std::vector<engine::Value> values;
    for (uint32_t i = from; i < to; ++i) {
        Try([&] { table.IsDeleted(i); });
        Try([&] { table.ReadInto(i, values); });
    }
}

void ReadAll(engine::Table& table) {
    const uint32_t count = table.RecordCount();
    ReadRecords(table, 0, count);
    Try([&] { table.ReadRecord(count); });
}

// After the writes: the records they touched (the first, the appended last ones) and a few
// around them, and one past the end. The others hold the bytes the first pass decoded
// already; reading them all again took half the time of an input.
void ReadEnds(engine::Table& table) {
    constexpr uint32_t kEach = 8;
    const uint32_t count = table.RecordCount();
    ReadRecords(table, 0, std::min(count, kEach));
    ReadRecords(table, std::max(kEach, count > kEach ? count - kEach : 0), count);
    Try([&] { table.ReadRecord(count); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static engine::dbf::MemoryFileSystem& memory = fuzzing::Memory();
    // The files' paths, made once for the run.
    static const std::filesystem::path dbf = fuzzing::kMemoryFolder / "t.dbf";
    static const std::filesystem::path fpt = fuzzing::kMemoryFolder / "t.fpt";
    static const std::filesystem::path cdx = fuzzing::kMemoryFolder / "t.cdx";
    const fuzzing::AtEnd reset([] { fuzzing::ResetMemory(); });
    const auto parts = fuzzing::SplitParts(data, size, 3);
    memory.WriteFile(dbf, parts[0]);
    if (!parts[1].empty()) memory.WriteFile(fpt, parts[1]);
    if (!parts[2].empty()) memory.WriteFile(cdx, parts[2]);

    std::unique_ptr<engine::Table> table;
    try {
        table = engine::Table::Open(dbf, engine::OpenMode::Exclusive);
    } catch (const engine::Error&) {
        return 0;
    }
    table->Fields();
    ReadAll(*table);
    Try([&] { table->IndexTags(); });
    Try([&] { table->VerifyIndex(); });

    std::vector<engine::Value> first;
    Try([&] { first = table->ReadRecord(0).values; });
    Try([&] { table->Append(first); });
    Try([&] { table->Append({}, true); });
    Try([&] { table->Overwrite(0, first); });
    Try([&] { table->SetDeleted(0, true); });
    Try([&] { table->Pack(); });
    Try([&] { table->Refresh(); });
    ReadEnds(*table);
    Try([&] { table->Close(); });
    table.reset();
    // What the writes left must open again (or be refused as damaged), never crash.
    Try([&] {
        auto again = engine::Table::Open(dbf, engine::OpenMode::Shared);
        ReadEnds(*again);
    });
    return 0;
}
