// Fuzzes statement texts: each input is run through a connection to a small practice database
// made on disk at start-up and copied into the in-memory file system. The connection is opened
// once for the run, so the container is read once, not per input; what an input can change is
// put back before the next one: the tables it kept open are let go, the SET options return to
// their defaults, and the files it changed are written again (a changed container is then read
// again by the connection's next statement). Every input starts from the same database.
// The template is made and copied in at the first call; every input puts it back at its end.
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

// The connection of the run, opened on the template's first copy.
engine::api::Connection& OpenConnection() {
    static engine::api::Connection connection;
    connection.Open({}, {}, "SourceDB=" + (fuzzing::kMemoryFolder / "Corvane.dbc").string() + ";SourceType=DBC");
    return connection;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzzing::FolderImage kTemplate = [] {
        fuzzing::FolderImage made = MakeTemplate();
        fuzzing::Memory();
        made.Restore();
        return made;
    }();
    static engine::api::Connection& connection = OpenConnection();
    engine::api::ConnectionCore& core = *connection.Core();
    // Back to the state the connection was opened in: no table kept (nor locked), default
    // options, the files as the template has them.
    const fuzzing::AtEnd reset([&] {
        fuzzing::Try([&] { core.provider->ReleaseTables(); });
        core.session->Options() = engine::sql::Settings{};
        kTemplate.Restore();
    });

    try {
        connection.Execute(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const engine::Error&) {
    }
    return 0;
}
