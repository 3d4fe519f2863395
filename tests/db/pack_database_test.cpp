// PackDatabase over real database folders: the log lines, the container and every table file
// packed, tables held open by another process named once each in the failure list, and
// folders without tables or that cannot be read.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <initializer_list>
#include <map>

#include "common/product.h"
#include "common/recording_ui.h"
#include "db/pack_database.h"
#include "engine/dbf/container.h"
#include "engine/dbf/table.h"
#include "sample_writer.h"
#include "support/dbfread.h"
#include "support/temp_dir.h"

namespace {

using testing_support::DbfreadCounts;

using namespace engine;
namespace fs = std::filesystem;

// A table with rows 0..count-1 of which every third (1, 4, ...) is marked deleted.
void FillTable(Table& table, int count) {
    for (int i = 0; i < count; ++i) table.Append({Value(int64_t{i}), Value("memo " + std::to_string(i))}, i % 3 == 1);
}

const std::vector<FieldSpec> kFields = {{.name = "PtNum", .type = 'I'}, {.name = "Note", .type = 'M'}};

// The practice's habits: Corvane.dbc naming CASE.DBF and ref.dbf, and a free table
// "old list.DbF" the container does not know. The container holds one dropped table
// (its records marked deleted, its file gone), so a container pack is visible.
void MakeDatabase(const fs::path& folder) {
    fs::create_directories(folder);
    auto dbc = Container::Create(folder / "Corvane.dbc");
    FillTable(*dbc->CreateTable("Case", "CASE.DBF", kFields), 6);
    FillTable(*dbc->CreateTable("Ref", "ref.dbf", kFields), 4);
    dbc->CreateTable("Gone", "gone.dbf", {{.name = "A", .type = 'I'}});
    FillTable(*Table::Create(folder / "old list.DbF", kFields), 5);
    dbc.reset();
    fs::remove(folder / "gone.dbf");
    auto raw = Table::Open(folder / "Corvane.dbc", OpenMode::Exclusive);
    const int nameField = raw->FieldIndex("OBJECTNAME");
    for (uint32_t i = 0; i < raw->RecordCount(); ++i) {
        std::string name = raw->ReadValue(i, nameField).As<std::string>();
        name.erase(name.find_last_not_of(' ') + 1);
        if (name == "Gone" || name == "a") raw->SetDeleted(i, true);
    }
}

uint32_t Rows(const fs::path& file) { return Table::Open(file)->RecordCount(); }

uint32_t Marked(const fs::path& file) {
    auto t = Table::Open(file);
    uint32_t marked = 0;
    for (uint32_t i = 0; i < t->RecordCount(); ++i) marked += t->IsDeleted(i);
    return marked;
}

// Another process holding files open for shared use until it is released.
class OtherProcess {
public:
    explicit OtherProcess(std::initializer_list<fs::path> files) {
        int ready[2];
        if (pipe(ready) != 0 || pipe(m_release) != 0) throw std::runtime_error("pipe");
        m_child = fork();
        if (m_child == 0) {
            close(ready[0]);
            close(m_release[1]);  // so the read below ends when the parent closes its end
            std::vector<std::unique_ptr<Table>> held;
            try {
                for (const auto& f : files) held.push_back(Table::Open(f));
            } catch (...) {
                _exit(1);  // never runs the parent's tests; the parent sees no ready byte
            }
            char c = 'x';
            (void)!write(ready[1], &c, 1);
            (void)!read(m_release[0], &c, 1);
            _exit(0);
        }
        close(ready[1]);
        close(m_release[0]);
        char c;
        m_ready = read(ready[0], &c, 1) == 1;
        close(ready[0]);
    }
    ~OtherProcess() {
        close(m_release[1]);
        waitpid(m_child, nullptr, 0);
    }
    bool Ready() const { return m_ready; }

private:
    pid_t m_child = -1;
    int m_release[2] = {-1, -1};
    bool m_ready = false;
};

class PackDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        product::LogFile = (dir / "Corvane.log").string();
        product::DebugFlags = 1;
        data = dir / "data";
    }
    void TearDown() override {
        product::LogFile.clear();
        product::DebugFlags = 0;
    }
    // The texts of the log lines, without the date and TAB before them.
    std::vector<std::string> LogTexts() const {
        std::vector<std::string> out;
        const std::string all = testing_support::ReadFile(dir / "Corvane.log");
        for (size_t pos = 0; pos < all.size();) {
            const size_t end = all.find("\r\n", pos);
            if (end == std::string::npos) break;
            const std::string line = all.substr(pos, end - pos);
            out.push_back(line.substr(line.find('\t') + 1));
            pos = end + 2;
        }
        return out;
    }
    std::string Issuing(const std::string& file) const {
        return "AdoTools/PackDatabase:  Issuing: PACK \"" + data.string() + "/" + file + "\"";
    }

    testing_support::TempDir dir;
    fs::path data;
    ui::RecordingUi ui;
};

TEST_F(PackDatabaseTest, PacksTheContainerAndEveryTableFileAndLogsEachOne) {
    MakeDatabase(data);
    const uint32_t containerRecords = Rows(data / "Corvane.dbc");
    std::string failed = "left from before";
    EXPECT_EQ(db::PackDatabase(data.string() + "/", failed), 0);
    EXPECT_EQ(failed, "");
    EXPECT_EQ(LogTexts(), (std::vector<std::string>{"AdoTools/PackDatabase", Issuing("CASE.DBF"),
                                                    Issuing("old list.DbF"), Issuing("ref.dbf")}));
    EXPECT_EQ(Rows(data / "CASE.DBF"), 4u);
    EXPECT_EQ(Rows(data / "ref.dbf"), 3u);
    EXPECT_EQ(Rows(data / "old list.DbF"), 3u) << "a table the container does not list is packed too";
    EXPECT_EQ(Marked(data / "CASE.DBF") + Marked(data / "ref.dbf") + Marked(data / "old list.DbF"), 0u);
    EXPECT_EQ(Rows(data / "Corvane.dbc"), containerRecords - 2);
    EXPECT_EQ(Table::Open(data / "CASE.DBF")->ReadValue(3, 1), Value("memo 5"));
    EXPECT_TRUE(ui.Messages().empty());
    // Everything was released.
    EXPECT_NO_THROW(Table::Open(data / "CASE.DBF", OpenMode::Exclusive));
    EXPECT_NO_THROW(Container::Open(data / "Corvane.dbc", OpenMode::Exclusive));
}

TEST_F(PackDatabaseTest, AFolderWithoutTablesPacksOnlyTheContainerAndAMissingOneNothing) {
    MakeDatabase(data);
    for (const char* file : {"CASE.DBF", "ref.dbf", "old list.DbF"}) fs::remove(data / file);
    const uint32_t containerRecords = Rows(data / "Corvane.dbc");
    std::string failed;
    EXPECT_EQ(db::PackDatabase(data.string(), failed), 0);
    EXPECT_EQ(failed, "");
    EXPECT_EQ(Rows(data / "Corvane.dbc"), containerRecords - 2);

    EXPECT_EQ(db::PackDatabase((dir / "Archive").string(), failed), 0);
    EXPECT_EQ(failed, "");
    EXPECT_EQ(LogTexts(), (std::vector<std::string>{"AdoTools/PackDatabase", "AdoTools/PackDatabase"}));
    EXPECT_TRUE(ui.Messages().empty());
}

TEST_F(PackDatabaseTest, TablesHeldByAnotherProcessAreNamedOnceEachAndTheRestPacked) {
    MakeDatabase(data);
    std::string failed;
    {
        OtherProcess other({data / "ref.dbf"});
        ASSERT_TRUE(other.Ready());
        db::PackDatabase(data.string(), failed);
        EXPECT_EQ(failed, "ref.dbf");
        EXPECT_EQ(Marked(data / "ref.dbf"), 1u) << "the held table keeps its marked rows";
        EXPECT_EQ(Rows(data / "CASE.DBF"), 4u);
    }
    Table::Open(data / "CASE.DBF")->SetDeleted(0, true);
    {
        // The container is held too: its pack fails quietly and the tables are still packed.
        OtherProcess other({data / "CASE.DBF", data / "ref.dbf", data / "Corvane.dbc"});
        ASSERT_TRUE(other.Ready());
        db::PackDatabase(data.string(), failed);
        EXPECT_EQ(failed, "CASE.DBF, ref.dbf");
        EXPECT_EQ(Rows(data / "CASE.DBF"), 4u);
        EXPECT_EQ(Marked(data / "CASE.DBF"), 1u);
    }
    db::PackDatabase(data.string(), failed);
    EXPECT_EQ(failed, "");
    EXPECT_EQ(Rows(data / "CASE.DBF"), 3u);
    EXPECT_EQ(Rows(data / "ref.dbf"), 3u);
    EXPECT_TRUE(ui.Messages().empty()) << "the caller tells the user";
}

TEST_F(PackDatabaseTest, TablesInUseNamesWhatAnotherProcessHoldsAndChangesNothing) {
    MakeDatabase(data);
    {
        OtherProcess other({data / "ref.dbf", data / "old list.DbF"});
        ASSERT_TRUE(other.Ready());
        EXPECT_EQ(db::TablesInUse(data.string() + "/"), (std::vector<std::string>{"old list.DbF", "ref.dbf"}));
        EXPECT_EQ(Marked(data / "CASE.DBF"), 2u);
        EXPECT_EQ(Rows(data / "CASE.DBF"), 6u);
    }
    EXPECT_TRUE(db::TablesInUse(data.string()).empty());
    EXPECT_TRUE(db::TablesInUse((dir / "missing").string()).empty());
    EXPECT_TRUE(ui.Messages().empty());
}

TEST_F(PackDatabaseTest, AFolderThatCannotBeListedIsReportedNotTakenForEmpty) {
    testing_support::WriteFile(dir / "file", "not a folder");
    std::string failed;
    EXPECT_EQ(db::PackDatabase((dir / "file").string(), failed), 0);
    EXPECT_EQ(failed, "");
    const auto shown = ui.Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "Archive");
    EXPECT_EQ(shown[0].icon, ui::Icon::Exclamation);
    const std::string expected = "AdoTools/PackDatabase:  Error Packing database:  " + (dir / "file").string() +
                                 "\r\nError #: 2, Descr: Cannot list the folder '" + (dir / "file").string() + "'";
    EXPECT_EQ(shown[0].text.substr(0, expected.size()), expected);
}

TEST_F(PackDatabaseTest, APackedSampleDatabaseKeepsEveryLiveRowAndReadsElsewhere) {
    sample::Options options;
    options.patients = 25;
    sample::WriteSampleDatabase(data, options);
    std::vector<std::pair<fs::path, uint32_t>> live;
    for (const auto& t : Container::Open(data / "Corvane.dbc")->Tables())
        live.emplace_back(t.file, Rows(t.file) - Marked(t.file));
    std::string failed;
    db::PackDatabase(data.string(), failed);
    EXPECT_EQ(failed, "");
    for (const auto& [file, rows] : live) {
        SCOPED_TRACE(file.filename().string());
        EXPECT_EQ(Rows(file), rows);
        EXPECT_EQ(Marked(file), 0u);
        const std::string n = std::to_string(rows);
        EXPECT_EQ(DbfreadCounts(file), n + " " + n + " 0");
    }

    // Packed again with nothing left to drop, no file is written.
    std::map<std::string, std::pair<std::string, fs::file_time_type>> before;
    for (const auto& e : fs::directory_iterator(data))
        if (e.is_regular_file())
            before[e.path().filename().string()] = {testing_support::ReadFile(e.path()), e.last_write_time()};
    db::PackDatabase(data.string(), failed);
    EXPECT_EQ(failed, "");
    std::map<std::string, std::pair<std::string, fs::file_time_type>> after;
    for (const auto& e : fs::directory_iterator(data))
        if (e.is_regular_file())
            after[e.path().filename().string()] = {testing_support::ReadFile(e.path()), e.last_write_time()};
    for (const auto& [name, state] : before) {
        ASSERT_TRUE(after.count(name)) << name;
        EXPECT_EQ(after[name].first == state.first, true) << name << " changed";
        EXPECT_EQ(after[name].second, state.second) << name << " was written";
    }
    EXPECT_EQ(after.size(), before.size());
}

}  // namespace
