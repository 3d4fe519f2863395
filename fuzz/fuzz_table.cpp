// Fuzzes a table file with its memo and structural index: the input is three parts (.dbf,
// .fpt, .cdx; see fuzz_support.h), written into the in-memory file system. Every record and
// value is read, then a few writes run on the copy. Any engine::Error is a fine answer; anything else is a finding.
#include <cstdint>

#include "engine/dbf/table.h"
#include "engine/error.h"
#include "fuzz_support.h"

namespace {

using fuzzing::Try;

void ReadAll(engine::Table& table) {
    const uint32_t count = table.RecordCount();
    for (uint32_t i = 0; i < count; ++i) {
        Try([&] { table.IsDeleted(i); });
        Try([&] { table.ReadRecord(i); });
    }
    Try([&] { table.ReadRecord(count); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static engine::dbf::MemoryFileSystem& memory = fuzzing::Memory();
    const auto& folder = fuzzing::kMemoryFolder;
    fuzzing::ResetMemory();
    const auto parts = fuzzing::SplitParts(data, size, 3);
    memory.WriteFile(folder / "t.dbf", parts[0]);
    if (!parts[1].empty()) memory.WriteFile(folder / "t.fpt", parts[1]);
    if (!parts[2].empty()) memory.WriteFile(folder / "t.cdx", parts[2]);

    std::unique_ptr<engine::Table> table;
    try {
        table = engine::Table::Open(folder / "t.dbf", engine::OpenMode::Exclusive);
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
    ReadAll(*table);
    Try([&] { table->Close(); });
    table.reset();
    // What the writes left must open again (or be refused as damaged), never crash.
    Try([&] {
        auto again = engine::Table::Open(folder / "t.dbf", engine::OpenMode::Shared);
        ReadAll(*again);
    });
    return 0;
}
