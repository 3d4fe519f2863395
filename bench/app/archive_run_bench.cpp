// archive_run_bench [PATIENTS...] [--archive N]: for each practice size (default 10,000 and
// 100,000 patients) generates a practice database and an emptied archive beside it, archives
// N patients (default 1,000) in one run and prints the time, patients per second, the
// processor time per patient and the peak resident memory during the run.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../support/resident_memory.h"
#include "archive/archive_run.h"
#include "db/ado_tools.h"
#include "engine/api/connection.h"
#include "engine/api/recordset.h"
#include "engine/error.h"
#include "sample_writer.h"

namespace fs = std::filesystem;

namespace {

const char* const kTables[][2] = {{"IdentFil", "PtNum"}, {"Appointment", "PId"}, {"Case", "PtNum"},
                                  {"BillOthe", "PtNum"}, {"MngCare", "PtNum"},  {"PostFile", "PtNum"},
                                  {"PatIns", "PtNum"},   {"PmtAndChrg", "PtNum"}};

class QuietStatus : public app::StatusServices {
public:
    void ShowStatus(const std::string&, const std::string&, bool) override {}
    void HideStatus() override {}
    bool StopRequested() override { return false; }
};

class NoPrompt : public deletion::PasswordPrompt {
public:
    std::string AskPassword() override { return {}; }
    void ShowRefusal(const std::string&, const std::string&) override {}
};

// The grid selects the first `count` patients of IdentFil.
class BenchWindow : public app::ArchiveWindow {
public:
    BenchWindow(const fs::path& data, long count)
        : m_path((data / "Corvane.dbc").string()), m_practice(AdoTools::Connect_DBC(data.string(), "Corvane.dbc")) {
        engine::api::Recordset grid;
        grid.Open("SELECT PtNum FROM IdentFil", *m_practice);
        for (; !grid.Eof() && static_cast<long>(m_rows.size()) < count; grid.MoveNext())
            m_rows.push_back(app::GetPatientNumber(grid));
    }
    const std::string& DatabasePath() const override { return m_path; }
    engine::api::Connection* PracticeConnection() override { return m_practice.get(); }
    app::StatusServices& Status() override { return m_status; }
    void SetStopFlag(bool) override {}
    void ShowStopButton(bool) override {}
    long SelectedCount() override { return static_cast<long>(m_rows.size()); }
    long SelectedRowIndex(long entry) override { return entry; }
    int32_t PatientNumberOfRow(long rowIndex) override { return m_rows.at(static_cast<size_t>(rowIndex - 1)); }
    void ReloadCurrentFolder() override {}
    deletion::PasswordPrompt& DeletePasswordPrompt() override { return m_prompt; }
    std::string ProgramPath() override { return {}; }

private:
    std::string m_path;
    std::unique_ptr<engine::api::Connection> m_practice;
    std::vector<int32_t> m_rows;
    QuietStatus m_status;
    NoPrompt m_prompt;
};

void MakeArchive(const fs::path& data) {
    const fs::path archive = data / "Archive";
    fs::create_directories(archive / "Notes");
    for (const auto& entry : fs::directory_iterator(data))
        if (entry.is_regular_file()) fs::copy_file(entry.path(), archive / entry.path().filename());
    auto connection = AdoTools::Connect_DBC(archive.string(), "Corvane.dbc");
    connection->Execute("SET EXCLUSIVE ON");
    for (const auto& table : kTables) {
        connection->Execute(std::string("DELETE FROM ") + table[0]);
        connection->Execute("PACK \"" + (archive / table[0]).string() + "\"");
    }
    connection->Execute("SET EXCLUSIVE OFF");
}

// Processor time (user + system) the process has used so far, in seconds. Unlike the wall
// time it hardly depends on how busy the disk and the other processes are.
double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    long archiveCount = 1000;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--archive" && i + 1 < argc) archiveCount = std::atol(argv[++i]);
        else sizes.push_back(std::atoi(argv[i]));
    }
    if (sizes.empty()) sizes = {10000, 100000};
    const fs::path root = fs::temp_directory_path() / ("archive_run_bench." + std::to_string(getpid()));
    try {
        for (int size : sizes) {
            const fs::path data = root / std::to_string(size);
            sample::Options options;
            options.patients = size;
            auto t0 = std::chrono::steady_clock::now();
            const auto summary = sample::WriteSampleDatabase(data, options);
            MakeArchive(data);
            // The generated files go to disk before the clock starts: otherwise the run's own
            // flushes wait behind hundreds of megabytes of the set-up's writes.
            ::sync();
            const double setup = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            // The peak covers the run alone, not generating the database.
            bench_support::ResetPeakResident();
            BenchWindow window(data, archiveCount);
            const long selected = window.SelectedCount();
            t0 = std::chrono::steady_clock::now();
            const double cpu0 = CpuSeconds();
            app::ArchiveSelectedPatients(window);
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            const double cpuMs = (CpuSeconds() - cpu0) * 1000;
            std::printf("practice of %d patients (%llu rows, set up in %.1f s): archived %ld patients in %.2f s, "
                        "%.1f patients/s, %.2f ms processor time per patient, peak RSS %ld KiB\n",
                        size, static_cast<unsigned long long>(summary.rows), setup, selected, seconds,
                        selected / seconds, cpuMs / static_cast<double>(selected),
                        bench_support::PeakResidentKilobytes());
            std::fflush(stdout);
            fs::remove_all(data);
        }
    } catch (const engine::Error& e) {
        std::fprintf(stderr, "archive_run_bench: error %ld: %s\n", e.Number(), e.Description().c_str());
        fs::remove_all(root);
        return 1;
    }
    fs::remove_all(root);
    return 0;
}
