// Fuzzes statement texts: each input is run through a connection to a small practice database
// made at start-up, copied afresh for every input so that writes only touch the copy.
#include <cstdint>
#include <cstdlib>

#include "engine/api/connection.h"
#include "engine/error.h"
#include "fuzz_support.h"
#include "sample_writer.h"

namespace {

std::filesystem::path MakeTemplate() {
    static const fuzzing::Scratch folder("sql-template");
    sample::WriteSampleDatabase(folder.Path(), {.patients = 3, .seed = 7});
    return folder.Path();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::filesystem::path kTemplate = MakeTemplate();
    static const fuzzing::Scratch scratch("sql");
    scratch.Reset();
    fuzzing::CopyFolder(kTemplate, scratch.Path());

    engine::api::Connection connection;
    try {
        connection.Open({}, {}, "SourceDB=" + (scratch / "Corvane.dbc").string() + ";SourceType=DBC");
        connection.Execute(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const engine::Error&) {
    }
    return 0;
}
