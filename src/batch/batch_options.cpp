#include "batch/batch_options.h"

#include <algorithm>
#include <charconv>

namespace batch {
namespace {

// A patient number: decimal digits (blanks around allowed) of a positive 32-bit number.
std::optional<int32_t> PatientNumber(std::string text) {
    const auto notBlank = [](char c) { return c != ' ' && c != '\t'; };
    text.erase(text.begin(), std::find_if(text.begin(), text.end(), notBlank));
    text.erase(std::find_if(text.rbegin(), text.rend(), notBlank).base(), text.end());
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 1) return std::nullopt;
    return value;
}

}  // namespace

std::string UsageText() {
    return "Usage: Archive --batch DATABASE.dbc [--restore] (--patients LIST | --where CONDITION)\n"
           "                     [--password-file FILE] [--dry-run]\n"
           "\n"
           "Archives patients of the practice database DATABASE.dbc without a window: the same run as\n"
           "the Archive button, patients handled from the highest patient number to the lowest.\n"
           "\n"
           "  --patients LIST       patient numbers separated by commas, e.g. 1201,1207,1300\n"
           "  --where CONDITION     a FoxPro condition on IdentFil, e.g. \"PtNum > 9000\" or\n"
           "                        \"LastVisit < {^2019-01-01}\"\n"
           "  --restore             bring the patients back from the archive instead (the window's\n"
           "                        Restore...); --where is then a condition on the archive's IdentFil\n"
           "  --password-file FILE  the delete password is the first line of FILE; without it the\n"
           "                        password is asked for on the terminal when the database has one\n"
           "  --dry-run             print what the run would do (patients, rows per table, notes\n"
           "                        files, future appointments, patients already archived) and\n"
           "                        change nothing; with --restore, what the restore would do\n"
           "                        (patients, rows per table, notes files, patients it would skip)\n"
           "  --help                this text\n"
           "\n"
           "Progress goes to standard error, the summary to standard output. Ctrl+C or SIGTERM\n"
           "stops after the patient in hand. Only one archive run at a time: while another holds\n"
           "the archive, the run is refused and ends with status 1. Exit status: 0 all patients\n"
           "handled (or --dry-run), 1 an error or a refusal, 2 a usage error, 3 stopped.\n"
           "\n"
           "Without --batch Archive opens its window on the most recent database (F1 for help):\n"
           "  Archive [-D] [-T]             -D writes Corvane.log, -T shows every log line\n"
           "  Archive -createDATABASE.dbc   creates the archive of DATABASE.dbc (no blank)\n"
           "  Archive -packFOLDER           packs the database in FOLDER (no blank)\n"
           "  Archive --pack-recent         packs the most recent database (Corvane Pack)\n"
           "  Archive --version             prints the version\n";
}

bool WantsBatch(const std::vector<std::string>& args) {
    return std::find(args.begin(), args.end(), "--batch") != args.end() ||
           (args.size() == 1 && args.front() == "--help");
}

std::optional<BatchOptions> ParseBatchOptions(const std::vector<std::string>& args, std::string& error) {
    BatchOptions options;
    const auto value = [&](size_t& i, const std::string& name) -> std::optional<std::string> {
        if (i + 1 >= args.size()) {
            error = name + " needs a value.";
            return std::nullopt;
        }
        return args[++i];
    };
    bool batch = false;
    std::optional<std::string> list;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return options;
        } else if (arg == "--batch") {
            batch = true;
        } else if (arg == "--dry-run") {
            options.dryRun = true;
        } else if (arg == "--restore") {
            options.restore = true;
        } else if (arg == "--patients" || arg == "--where" || arg == "--password-file") {
            auto given = value(i, arg);
            if (!given) return std::nullopt;
            auto& target = arg == "--patients" ? list : arg == "--where" ? options.where : options.passwordFile;
            if (target) {
                error = arg + " is given twice.";
                return std::nullopt;
            }
            target = *given;
        } else if (!arg.empty() && arg[0] == '-') {
            error = "Unknown option " + arg + ".";
            return std::nullopt;
        } else if (options.database.empty()) {
            options.database = arg;
        } else {
            error = "Unexpected argument " + arg + ".";
            return std::nullopt;
        }
    }
    if (!batch) error = "--batch is missing.";
    else if (options.database.empty()) error = "The database (DATABASE.dbc) is missing.";
    else if (list && options.where) error = "Give either --patients or --where, not both.";
    else if (!list && !options.where) error = "Say which patients: --patients LIST or --where CONDITION.";
    else if (options.where && options.where->find_first_not_of(" \t") == std::string::npos)
        error = "The condition is empty.";
    if (!error.empty()) return std::nullopt;

    if (list) {
        size_t start = 0;
        while (start <= list->size()) {
            const size_t comma = std::min(list->find(',', start), list->size());
            const std::string item = list->substr(start, comma - start);
            const auto number = PatientNumber(item);
            if (!number) {
                error = "\"" + item + "\" is no patient number.";
                return std::nullopt;
            }
            options.patients.push_back(*number);
            start = comma + 1;
        }
        std::sort(options.patients.begin(), options.patients.end());
        options.patients.erase(std::unique(options.patients.begin(), options.patients.end()), options.patients.end());
    }
    return options;
}

}  // namespace batch
