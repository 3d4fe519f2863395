#include "find_test_data.h"

#include "folders/find_selection.h"
#include "sample_writer.h"

namespace fs = std::filesystem;

namespace folders_testing {

FindTestData::FindTestData() {
    sample::Options options;
    options.patients = 0;
    sample::WriteSampleDatabase(m_dir.Path() / "Data", options);
    fs::create_directories(AppPath());
    fs::copy_file(fs::path(ARCHIVE_SOURCE_DIR) / "demo" / "Folders.xml", AppPath() / "Folders.xml");
    fs::copy(fs::path(ARCHIVE_SOURCE_DIR) / "demo" / "etc", AppPath() / "etc");
    const auto connection = Connect();
    const char* patients[][2] = {{"Jones", "Smita"}, {"Smith", "John"},   {"Smithers", "Joanne"},
                                 {"Brown", "Anna"},  {"Smith", "Jolene"}, {"Jordan", "Smithy"}};
    int number = 0;
    for (const auto& [last, first] : patients) {
        connection->Execute("INSERT INTO IdentFil (PtNum, LastNam, FirstNam) VALUES (" + std::to_string(++number) +
                            ", '" + last + "', '" + first + "')");
    }
    connection->Execute(
        "INSERT INTO DocIdent (Typ, Hsp, Doc, Name, FirstName) VALUES ('A', '', 'D77', 'Zeller', 'Hanna')");
    connection->Execute(
        "INSERT INTO InsIdent (InsNum, CorpName, Rec_Code2, Ins_Type, Sub_Code) VALUES (77, 'Zenith Mutual', 'R77', "
        "'MC', 'S7')");
}

std::unique_ptr<engine::api::Connection> FindTestData::Connect() const {
    auto connection = std::make_unique<engine::api::Connection>();
    connection->SetConnectionString(
        "Provider=MSDASQL;Extended Properties=\"DRIVER={Microsoft Visual FoxPro Driver};SourceDB=" + DataFolder() +
        "/Corvane.dbc;SourceType=DBC;\"");
    connection->Open();
    return connection;
}

std::shared_ptr<engine::api::Recordset> FindTestData::Open(const std::string& source) const {
    const auto connection = Connect();
    auto recordset = std::make_shared<engine::api::Recordset>();
    recordset->Open(source, *connection);
    return recordset;
}

double BookmarkWhere(engine::api::Recordset& recordset, const std::string& field, const std::string& value) {
    const std::unique_ptr<engine::api::Recordset> walker = recordset.Clone();
    for (walker->MoveFirst(); !walker->Eof(); walker->MoveNext()) {
        std::string text = folders::ValueAsText(walker->Fields().Item(field).Value());
        while (!text.empty() && text.back() == ' ') text.pop_back();
        if (text == value) return walker->Bookmark();
    }
    return 0;
}

}  // namespace folders_testing
