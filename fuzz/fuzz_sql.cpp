// Fuzzes statement texts: each input is run through a connection to a small practice database
// made on disk at start-up and copied into the in-memory file system; before every input the
// files the last one changed are put back, so that every input starts from the same database.
#include <cstdint>
#include <cstdlib>

#include "engine/api/connection.h"
#include "engine/error.h"
#include "fuzz_support.h"
#include "sample_writer.h"

namespace {

fuzzing::FolderImage MakeTemplate() {
    const fuzzing::Scratch folder("sql-template");
    sample::WriteSampleDatabase(folder.Path(), {.patients = 3, .seed = 7});
    return fuzzing::FolderImage(folder.Path());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzzing::FolderImage kTemplate = MakeTemplate();
    static const std::string kSource =
        "SourceDB=" + (fuzzing::kMemoryFolder / "Corvane.dbc").string() + ";SourceType=DBC";
    fuzzing::Memory();
    kTemplate.Restore();

    engine::api::Connection connection;
    try {
        connection.Open({}, {}, kSource);
        connection.Execute(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const engine::Error&) {
    }
    return 0;
}
