// Fuzzes a database container: the input is three parts (.dbc, .dct, .dcx; see
// fuzz_support.h), written into the in-memory file system. The container is opened, its tables listed and looked up, then packed.
#include <cstdint>

#include "engine/dbf/container.h"
#include "engine/error.h"
#include "fuzz_support.h"

using fuzzing::Try;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static engine::dbf::MemoryFileSystem& memory = fuzzing::Memory();
    const auto& folder = fuzzing::kMemoryFolder;
    const fuzzing::AtEnd reset([] { fuzzing::ResetMemory(); });
    const auto parts = fuzzing::SplitParts(data, size, 3);
    memory.WriteFile(folder / "c.dbc", parts[0]);
    if (!parts[1].empty()) memory.WriteFile(folder / "c.dct", parts[1]);
    if (!parts[2].empty()) memory.WriteFile(folder / "c.dcx", parts[2]);

    Try([&] {
        auto container = engine::Container::Open(folder / "c.dbc", engine::OpenMode::Exclusive);
        Try([&] { container->FindTable("identfil"); });  // lists the tables
        Try([&] { container->Pack(); });
        Try([&] { container->Tables(); });
    });
    return 0;
}
