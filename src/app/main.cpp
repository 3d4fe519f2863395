// The Archive program: keeps its command line, installs the Qt user-interface seam and
// loads the main window, whose start-up may end the program before the window is shown.
//
// Batch archiving (`--batch`, see batch/batch_archive.h) never creates the Qt application:
// it runs on a server with no display. Without a display, the unattended jobs -create and
// -pack run the same way, with their messages on standard error.
//
// Two options are for tests and scripts only; they are taken off the command line before
// the program reads its switches:
//   --quit-after-load    run unattended (message boxes answered with their first button,
//                        the input box cancelled, both written to standard error) and end
//                        as soon as start-up has shown the window.
//   --screenshot FILE    the same, but first save a picture of the window in FILE (PNG).
//
// --find KIND opens the find dialog alone over the most recent database's table for a kind
// and prints Cancelled, the chosen Text and Value (app/find_command.h).
#include <iostream>
#include <string>
#include <vector>

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include "archive/app_folder.h"
#include "app/find_command.h"
#include "app/frm_archive.h"
#include "app/qt_ui.h"
#include "app/start_switches.h"
#include "app/unattended_ui.h"
#include "batch/batch_archive.h"
#include "batch/batch_options.h"
#include "common/command_args.h"
#include "common/product.h"
#include "engine/warning.h"
#include "common/process.h"

namespace {

struct HiddenOptions {
    bool quitAfterLoad = false;
    std::string screenshotFile;
    std::string findKind;
};

// Separates the hidden options from the program's own arguments.
std::vector<std::string> TakeHiddenOptions(int argc, char** argv, HiddenOptions& options) {
    std::vector<std::string> kept = {argc > 0 ? argv[0] : "Archive"};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quit-after-load") {
            options.quitAfterLoad = true;
        } else if (arg == "--screenshot" && i + 1 < argc) {
            options.screenshotFile = argv[++i];
            options.quitAfterLoad = true;
        } else if (arg == "--find" && i + 1 < argc) {
            options.findKind = argv[++i];
        } else {
            kept.push_back(arg);
        }
    }
    return kept;
}

}  // namespace

int main(int argc, char** argv) {
    // Keep the command line as given, before Qt takes its own options out of argv.
    HiddenOptions options;
    const std::vector<std::string> args = TakeHiddenOptions(argc, argv, options);
    std::vector<const char*> argPointers;
    for (const std::string& a : args) argPointers.push_back(a.c_str());
    common::SetCommandLine(static_cast<int>(argPointers.size()), argPointers.data());

    // The engine's warnings (a table read with a code page it does not know) go to the log.
    engine::SetWarningHandler([](const std::string& text) { product::WriteLog("Engine", "Warning", text); });

    const std::vector<std::string> given(args.begin() + 1, args.end());
    if (batch::WantsBatch(given)) return batch::RunBatch(given);
    if (!batch::HasDisplay() && !options.quitAfterLoad) {
        const app::StartSwitches switches = app::ParseStartSwitches(common::GetCommandArgs());
        if (switches.mode != app::StartSwitches::Mode::Window)
            return batch::RunConsoleJob(switches.mode == app::StartSwitches::Mode::Create, switches.value,
                                        switches.debugBits);
    }

    QApplication application(argc, argv);
    app::QtUi qtUi;
    app::UnattendedUi unattendedUi;
    ui::Install(options.quitAfterLoad ? static_cast<ui::Ui*>(&unattendedUi) : &qtUi);

    int rc = 0;
    if (!options.findKind.empty()) {
        rc = app::RunFindCommand(options.findKind, app::FindAppPath(common::ProgramFolder()), std::cout, std::cerr);
    } else {
        app::frmArchive window;
        if (!window.Form_Load()) {
            rc = window.ExitCode();
        } else {
            if (options.quitAfterLoad) {
                QTimer::singleShot(300, &window, [&window, &options] {
                    if (!options.screenshotFile.empty())
                        window.grab().save(QString::fromStdString(options.screenshotFile), "PNG");
                    window.close();
                });
            }
            rc = application.exec();
        }
    }
    ui::Install(nullptr);
    return rc;
}
