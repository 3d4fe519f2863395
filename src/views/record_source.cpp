#include "views/record_source.h"

#include <strings.h>

namespace views {

namespace {
RecordSourceOpener& InstalledOpener() {
    static RecordSourceOpener opener;
    return opener;
}
}  // namespace

int RecordSource::FieldIndex(const std::string& name) const {
    const int count = FieldCount();
    for (int i = 0; i < count; ++i) {
        if (strcasecmp(FieldName(i).c_str(), name.c_str()) == 0) return i;
    }
    return -1;
}

void SetRecordSourceOpener(RecordSourceOpener opener) { InstalledOpener() = std::move(opener); }

std::unique_ptr<RecordSource> OpenRecordSource(const std::string& connectionString, const std::string& sql) {
    const RecordSourceOpener& opener = InstalledOpener();
    if (!opener) return nullptr;
    return opener(connectionString, sql);
}

}  // namespace views
