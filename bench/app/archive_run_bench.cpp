// archive_run_bench [PATIENTS...] [--archive N] [--peer FILE]: for each practice size (default
// 10,000 and 100,000 patients) generates a practice database with its archive made as the
// -create run makes it, and archives the last N patients by PtNum (default 1,000), each way on
// its own copy of the files:
//   - peer: the python3-dbf script (default ../shared/peers/archive_pydbf.py beside the source
//     tree), skipped with a message when it is missing. Its own figure counts its archiving
//     loop only, after it has opened the tables and read every row into its indexes; the
//     whole process, start to end, is timed as well;
//   - program: `Archive --batch` itself, a process of its own, timed from start to end;
//   - batch, first run: the run of `Archive --batch` (batch::ArchivePatients) in this process,
//     the first archiving it does, so it also pays what a process pays once (its heap grown
//     page by page, code and tables met for the first time);
//   - batch: the same run again on another copy, copies checked: the figure to set beside the
//     peer's, which is measured in a process past its own start-up as well;
//   - batch, unchecked: the same with the read-back check of the copies switched off;
//   - window: the run through the main window's status path (a real balloon, offscreen).
// It prints patients per second, the ratios to the peer, processor time and fsyncs per patient.
#include <dlfcn.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>

#include "../support/resident_memory.h"
#include "app/frm_archive.h"
#include "app/qt_ui.h"
#include "archive/archive_creation.h"
#include "archive/archive_run.h"
#include "batch/batch_archive.h"
#include "db/ado_tools.h"
#include "engine/api/connection.h"
#include "engine/error.h"
#include "sample_writer.h"

namespace fs = std::filesystem;

namespace {

long g_fsyncs = 0;

}  // namespace

// Every fsync of the process is counted on its way to the C library.
extern "C" int fsync(int fd) {
    static const auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"));
    ++g_fsyncs;
    return real(fd);
}
extern "C" int fdatasync(int fd) {
    static const auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fdatasync"));
    ++g_fsyncs;
    return real(fd);
}

namespace {

// The offscreen platform cannot raise windows and says so for every status text: not shown.
void QuietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains("does not support raise()")) return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

class NoPrompt : public deletion::PasswordPrompt {
public:
    std::string AskPassword() override { return {}; }
    void ShowRefusal(const std::string&, const std::string&) override {}
};

// The window's side of a run: its status balloon, the patients selected.
class BalloonWindow : public app::ArchiveWindow {
public:
    BalloonWindow(const fs::path& data, std::vector<int32_t> patients, app::frmArchive& balloon)
        : m_path((data / "Corvane.dbc").string()),
          m_practice(AdoTools::Connect_DBC(data.string(), "Corvane.dbc")),
          m_patients(std::move(patients)),
          m_balloon(balloon) {}
    const std::string& DatabasePath() const override { return m_path; }
    engine::api::Connection* PracticeConnection() override { return m_practice.get(); }
    app::StatusServices& Status() override { return m_balloon; }
    void SetStopFlag(bool stop) override { m_balloon.SetStopFlag(stop); }
    void ShowStopButton(bool) override {}
    long SelectedCount() override { return static_cast<long>(m_patients.size()); }
    long SelectedRowIndex(long entry) override { return entry; }
    int32_t PatientNumberOfRow(long rowIndex) override { return m_patients.at(static_cast<size_t>(rowIndex - 1)); }
    void ReloadCurrentFolder() override {}
    deletion::PasswordPrompt& DeletePasswordPrompt() override { return m_prompt; }
    std::string ProgramPath() override { return {}; }

private:
    std::string m_path;
    std::unique_ptr<engine::api::Connection> m_practice;
    std::vector<int32_t> m_patients;
    app::frmArchive& m_balloon;
    NoPrompt m_prompt;
};

class QuietStatus : public app::StatusServices {
public:
    void ShowStatus(const std::string&, const std::string&, bool) override {}
    void HideStatus() override {}
    bool StopRequested() override { return false; }
};

// The archive as a practice gets it: made by the -create run from the blank template in the
// program's folder (appFolder/BlankDbc).
void MakeArchive(const fs::path& data, const fs::path& appFolder) {
    QuietStatus status;
    std::unique_ptr<engine::api::Connection> connection;
    app::CreateArchiveDatabase((data / "Corvane.dbc").string(), appFolder.string(), status, connection);
    if (!fs::exists(data / "Archive" / "Corvane.dbc"))
        throw engine::Error(engine::err::kFileNotFound, "The archive was not created in " + data.string());
}

// Processor time (user + system) of the process and its children so far, in seconds.
double CpuSeconds() {
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    return seconds(self.ru_utime) + seconds(self.ru_stime) + seconds(children.ru_utime) + seconds(children.ru_stime);
}

struct Figures {
    double perSecond = 0;
    double cpuMsPerPatient = 0;
    double fsyncsPerPatient = 0;
    long archived = 0;
};

Figures Measure(long patients, const std::function<long()>& run) {
    ::sync();  // the copies' writes go to disk before the clock starts
    const long fsyncs0 = g_fsyncs;
    const double cpu0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    const long archived = run();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    Figures f;
    f.archived = archived;
    f.perSecond = static_cast<double>(patients) / seconds;
    f.cpuMsPerPatient = (CpuSeconds() - cpu0) * 1000 / static_cast<double>(patients);
    f.fsyncsPerPatient = static_cast<double>(g_fsyncs - fsyncs0) / static_cast<double>(patients);
    return f;
}

long BatchRun(const fs::path& data, const std::vector<int32_t>& patients) {
    auto practice = AdoTools::Connect_DBC(data.string(), "Corvane.dbc");
    return batch::ArchivePatients((data / "Corvane.dbc").string(), *practice, patients, std::nullopt).archived;
}

// Runs command, returning what it wrote on standard output; nullopt when it failed.
std::optional<std::string> Output(const std::string& command) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string out;
    char buffer[512];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    if (pclose(pipe) != 0) return std::nullopt;
    return out;
}

// The number after label in text, 0 when there is none.
double NumberAfter(const std::string& text, const std::string& label) {
    const size_t at = text.find(label);
    return at == std::string::npos ? 0 : std::atof(text.c_str() + at + label.size());
}

struct PeerFigures {
    double perSecond = 0;     // its own figure (it prints "patients/s: X"); 0 when it failed
    double wholeSeconds = 0;  // its process from start to end
};

PeerFigures PeerRun(const std::string& peer, const fs::path& data, long count) {
    const auto t0 = std::chrono::steady_clock::now();
    const auto out =
        Output("/usr/bin/python3 '" + peer + "' '" + data.string() + "' " + std::to_string(count) + " 2>/dev/null");
    PeerFigures f;
    f.wholeSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (out) f.perSecond = NumberAfter(*out, "patients/s:");
    return f;
}

// `Archive --batch` on data for the patients numbered above `above`, as its own process; the
// patients it archived (0 when it failed).
long ProgramRun(const fs::path& data, long above) {
    const auto out = Output("'" + std::string(ARCHIVE_PROGRAM) + "' --batch '" + (data / "Corvane.dbc").string() +
                            "' --where 'PtNum > " + std::to_string(above) + "' 2>/dev/null");
    return out ? static_cast<long>(NumberAfter(*out, "Archived ")) : 0;
}

void Print(const char* name, const Figures& f, double peer) {
    std::printf("  %-20s %8.1f patients/s", name, f.perSecond);
    if (peer > 0) std::printf("  %6.3fx peer", f.perSecond / peer);
    std::printf("  %6.2f ms processor/patient  %5.2f fsyncs/patient  (%ld archived)\n", f.cpuMsPerPatient,
                f.fsyncsPerPatient, f.archived);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    long archiveCount = 1000;
    std::string peer = std::string(ARCHIVE_SOURCE_DIR) + "/../shared/peers/archive_pydbf.py";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--archive" && i + 1 < argc) archiveCount = std::atol(argv[++i]);
        else if (arg == "--peer" && i + 1 < argc) peer = argv[++i];
        else sizes.push_back(std::atoi(argv[i]));
    }
    if (sizes.empty()) sizes = {10000, 100000};
    const bool havePeer = fs::exists(peer) && fs::exists("/usr/bin/python3");
    if (!havePeer) std::printf("peer %s not found: its figures are skipped\n", peer.c_str());

    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    qInstallMessageHandler(QuietMessages);
    app::QtUi qtUi;
    ui::Install(&qtUi);

    const fs::path root = fs::temp_directory_path() / ("archive_run_bench." + std::to_string(getpid()));
    try {
        sample::Options blank;
        blank.patients = 0;
        blank.blank = true;
        sample::WriteSampleDatabase(root / "app" / "BlankDbc", blank);
        for (int size : sizes) {
            const fs::path base = root / std::to_string(size);
            const fs::path data = base / "batch";
            sample::Options options;
            options.patients = size;
            auto t0 = std::chrono::steady_clock::now();
            const auto summary = sample::WriteSampleDatabase(data, options);
            MakeArchive(data, root / "app");
            for (const char* copy : {"first", "unchecked", "peer", "program", "window"})
                fs::copy(data, base / copy, fs::copy_options::recursive);
            const double setup = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            const long count = std::min<long>(archiveCount, size);
            std::vector<int32_t> patients;  // the last `count` by PtNum (the generator numbers 1..size)
            for (long p = size - count + 1; p <= size; ++p) patients.push_back(static_cast<int32_t>(p));

            std::printf("practice of %d patients (%llu rows, set up in %.1f s), archiving the last %ld:\n", size,
                        static_cast<unsigned long long>(summary.rows), setup, count);
            double peerRate = 0;
            double peerWhole = 0;  // patients a second of the peer's process from start to end
            if (havePeer) {
                const double cpu0 = CpuSeconds();
                const PeerFigures p = PeerRun(peer, base / "peer", count);
                peerRate = p.perSecond;
                peerWhole = p.perSecond > 0 ? static_cast<double>(count) / p.wholeSeconds : 0;
                std::printf("  %-20s %8.1f patients/s  %6.2f ms processor/patient (start-up included)\n", "peer",
                            peerRate, (CpuSeconds() - cpu0) * 1000 / static_cast<double>(count));
                std::printf("  %-20s %8.1f patients/s  (%.2f s from start to end)\n", "peer, whole process", peerWhole,
                            p.wholeSeconds);
            }
            {
                const auto t0 = std::chrono::steady_clock::now();
                const long archived = ProgramRun(base / "program", size - count);
                const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
                std::printf("  %-20s %8.1f patients/s", "Archive --batch", static_cast<double>(count) / seconds);
                if (peerWhole > 0) std::printf("  %6.3fx the peer's whole process", count / seconds / peerWhole);
                std::printf("  (%.2f s from start to end, %ld archived)\n", seconds, archived);
            }
            bench_support::ResetPeakResident();
            const Figures first = Measure(count, [&] { return BatchRun(base / "first", patients); });
            const long peakKb = bench_support::PeakResidentKilobytes();
            Print("batch, first run", first, peerRate);
            const Figures checked = Measure(count, [&] { return BatchRun(data, patients); });
            Print("batch", checked, peerRate);
            app::SetVerifyCopies(false);
            const Figures unchecked = Measure(count, [&] { return BatchRun(base / "unchecked", patients); });
            app::SetVerifyCopies(true);
            Print("batch, unchecked", unchecked, peerRate);
            std::printf("  checking the copies costs %.2fx\n", unchecked.perSecond / checked.perSecond);
            {
                app::frmArchive balloon;
                BalloonWindow window(base / "window", patients, balloon);
                const Figures shown = Measure(count, [&] { return app::CheckAndArchive(window).archived; });
                Print("window", shown, peerRate);
            }
            std::printf("  peak resident memory of the first batch run %ld KiB\n", peakKb);
            std::fflush(stdout);
            fs::remove_all(base);
        }
    } catch (const engine::Error& e) {
        std::fprintf(stderr, "archive_run_bench: error %ld: %s\n", e.Number(), e.Description().c_str());
        fs::remove_all(root);
        return 1;
    }
    ui::Install(nullptr);
    fs::remove_all(root);
    return 0;
}
