// Fuzzes statement texts: each input is run through a connection to a small practice database
// made at start-up and kept in memory; before every input the files the last one changed are
// put back, so that writes only touch the copy and every input starts from the same database.
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
    static const fuzzing::Scratch scratch("sql");
    kTemplate.Restore(scratch.Path());

    engine::api::Connection connection;
    try {
        connection.Open({}, {}, "SourceDB=" + (scratch / "Corvane.dbc").string() + ";SourceType=DBC");
        connection.Execute(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const engine::Error&) {
    }
    return 0;
}
