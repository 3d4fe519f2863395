#include "sample_writer.h"

#include <array>
#include <fstream>
#include <map>
#include <memory>
#include <random>

#include "engine/dbf/container.h"
#include "engine/error.h"
#include "sample_schema.h"

namespace sample {

namespace {

using engine::Value;

constexpr std::array kLast = {"Smith",    "Johnson",  "Müller", "García",   "Núñez",   "O'Brien",
                              "Lefèvre",  "Björkman", "Nguyen", "Kowalski", "Rossi",   "Søndergaard",
                              "Williams", "Brown",    "Dubois", "Peña",     "Schäfer", "Martin",
                              "Anderson", "Çelik",    "Taylor", "Moreau",   "Fischer"};
constexpr std::array kFirst = {"Anna",      "José",   "Zoë",   "Michael", "Chloé", "David",
                               "Françoise", "Jürgen", "Maria", "Noël",    "Sarah", "Thomas",
                               "Inés",      "Robert", "Linda", "Ángel",   "Emma",  "Oliver"};
constexpr std::array kStreets = {"Main St",    "Oak Avenue",  "Elm Street",  "Rue de la Paix",
                                 "Cedar Lane", "Maple Drive", "Sunset Blvd", "Königstraße"};
constexpr std::array kCities = {"Springfield", "Riverton", "Fairview", "Montréal", "Greenville", "Salem"};
constexpr std::array kStates = {"IL", "NY", "CA", "TX", "OH", "WA", "FL"};
constexpr std::array kReasons = {
    "Annual physical", "Follow-up visit",           "Flu symptoms", "Blood work", "Back pain",
    "Vaccination",     "Consultation – cardiology", "Post-op check"};
constexpr std::array kCodes = {"99213", "99214", "80053", "85025", "90715", "71020", "93000", "36415"};
constexpr std::array kCarriers = {"Blue Shield of Springfield", "Acme Health Plan", "Medicare Part B", "United Mutual",
                                  "Société Générale Santé",     "Riverton Care"};

class Random {
public:
    explicit Random(uint64_t seed) : m_engine(seed) {}
    int Int(int lo, int hi) { return lo + static_cast<int>(m_engine() % static_cast<uint64_t>(hi - lo + 1)); }
    bool Chance(int percent) { return Int(1, 100) <= percent; }
    template <class A>
    const char* Pick(const A& list) {
        return list[static_cast<size_t>(Int(0, static_cast<int>(list.size()) - 1))];
    }
    std::string Digits(int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s.push_back(static_cast<char>('0' + Int(i == 0 ? 2 : 0, 9)));
        return s;
    }
    engine::Date Day(int fromYear, int toYear) {
        return engine::Date{engine::JulianDayFromYmd(Int(fromYear, toYear), Int(1, 12), Int(1, 28))};
    }
    engine::DateTime Moment(int fromYear, int toYear) {
        return engine::DateTime{Day(fromYear, toYear).julianDay, (Int(7, 18) * 3600 + Int(0, 3) * 900) * 1000};
    }

private:
    std::mt19937_64 m_engine;
};

std::string Rtf(int ptNum, const std::string& name) {
    return "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 Notes for patient " + std::to_string(ptNum) + " (" +
           name + ").\\par Allergies: none known.\\par}\n";
}

}  // namespace

Summary WriteSampleDatabase(const std::filesystem::path& folder, const Options& options) {
    std::filesystem::create_directories(folder);
    if (!engine::FindFileNoCase(folder, "Corvane.dbc").empty())
        throw engine::Error(engine::err::kFileAccess, "Folder '" + folder.string() + "' already holds Corvane.dbc.");
    auto dbc = engine::Container::Create(folder / "Corvane.dbc");
    std::map<std::string, std::unique_ptr<engine::Table>> t;
    for (const auto& def : Tables()) t[def.name] = dbc->CreateTable(def.name, def.name + ".dbf", def.fields);
    // Each table's index is built once from its rows at the end: maintaining it row by row
    // makes large databases take many times longer to generate.
    const auto index = [&] {
        for (const auto& def : Tables()) t[def.name]->CreateIndex(def.tags);
    };
    Summary summary;
    if (options.blank) {
        index();
        return summary;
    }
    std::filesystem::create_directories(folder / "Notes");
    Random r(options.seed);
    auto add = [&](const char* table, std::vector<Value> values, bool deleted = false) {
        t[table]->Append(values, deleted);
        ++summary.rows;
    };
    t["Passwords"]->Append({Value(EncodePassword(options.deletePassword)), Value(EncodePassword("system")),
                            Value(EncodePassword("report")), Value(EncodePassword("backup"))});
    ++summary.rows;

    // Reference tables: hospitals and doctors, their insurance numbers, carriers, referral sources.
    const int doctors = 12, hospitals = 4, carriers = static_cast<int>(kCarriers.size()), referrals = 20;
    for (int h = 1; h <= hospitals; ++h)
        add("DocIdent", {Value("C"), Value("H" + std::to_string(h)), Value(""),
                         Value(std::string(r.Pick(kCities)) + " General Hospital"), Value(""), Value(r.Digits(10)),
                         Value(std::to_string(r.Int(1, 999)) + " " + r.Pick(kStreets))});
    for (int d = 1; d <= doctors; ++d) {
        add("DocIdent",
            {Value("A"), Value(""), Value("D" + std::to_string(d)), Value(r.Pick(kLast)), Value(r.Pick(kFirst)),
             Value(r.Digits(10)), Value(std::to_string(r.Int(1, 999)) + " " + r.Pick(kStreets))});
        for (int c = 1; c <= carriers; c += r.Int(1, 3))
            add("DocInsur", {Value("D" + std::to_string(d)), Value(int64_t{c}), Value("P" + r.Digits(8)),
                             Value(r.Chance(30)), Value(r.Chance(20)), Value(r.Chance(50))});
    }
    for (int c = 1; c <= carriers; ++c)
        add("InsIdent", {Value(int64_t{c}), Value(kCarriers[static_cast<size_t>(c - 1)]), Value("R" + r.Digits(3)),
                         Value(r.Chance(50) ? "MC" : "CI"), Value("S" + r.Digits(2)),
                         Value(std::to_string(r.Int(1, 999)) + " " + r.Pick(kStreets)), Value(r.Digits(10))});
    for (int f = 1; f <= referrals; ++f)
        add("Ref", {Value(int64_t{f}), Value(r.Pick(kLast)), Value(r.Pick(kFirst)), Value(r.Digits(10))});

    int caseNum = 0;
    for (int p = 1; p <= options.patients; ++p) {
        const Value pt(int64_t{p});
        const std::string last = r.Pick(kLast), first = r.Pick(kFirst);
        const auto doc = [&] { return Value("D" + std::to_string(r.Int(1, doctors))); };
        add("IdentFil",
            {pt, Value(last), Value(first), Value(std::string(1, static_cast<char>('A' + r.Int(0, 25)))),
             Value(r.Chance(50) ? "Mr." : "Ms."), Value(r.Digits(10)), Value(r.Chance(60) ? r.Digits(10) : ""),
             Value(r.Digits(9)), Value(r.Day(1925, 2020)), Value(r.Chance(50) ? "M" : "F"),
             Value(std::to_string(r.Int(1, 9999)) + " " + r.Pick(kStreets)), Value(r.Pick(kCities)),
             Value(r.Pick(kStates)), Value(r.Digits(5)), r.Chance(30) ? Value(first.substr(0, 3)) : Value(),
             Value(r.Chance(2)), r.Chance(80) ? Value(r.Moment(2015, 2025)) : Value(),
             Value(engine::Currency{int64_t{r.Int(0, 500000)} * 100}),
             Value(r.Chance(40) ? "Prefers morning appointments. Café au lait allergy: no." : "")});
        for (int i = r.Int(0, 6); i > 0; --i)
            add("Appointment",
                {pt, Value(r.Day(2018, 2026)), Value(r.Moment(2018, 2026)), doc(), Value(r.Pick(kReasons)),
                 Value(int64_t{15 * r.Int(1, 4)}), Value(r.Chance(85))},
                r.Chance(3));
        for (int i = r.Int(1, 2); i > 0; --i)
            add("Case", {Value(int64_t{++caseNum}), pt, Value(r.Pick(kReasons)), Value(r.Day(2010, 2025)), doc(),
                         Value("H" + std::to_string(r.Int(1, hospitals))), Value(int64_t{r.Int(1, referrals)}),
                         Value(int64_t{r.Int(1, carriers)}), Value(r.Chance(30)),
                         r.Chance(50) ? Value("Referred for evaluation; see notes.") : Value()});
        if (r.Chance(40))
            add("BillOthe", {pt, Value(std::string(r.Pick(kFirst)) + " " + last),
                             Value(std::to_string(r.Int(1, 9999)) + " " + r.Pick(kStreets)), Value(r.Pick(kCities)),
                             Value(r.Pick(kStates)), Value(r.Digits(5)), Value(r.Digits(10)),
                             Value(r.Chance(50) ? "Spouse" : "Parent")});
        if (r.Chance(35))
            add("MngCare",
                {pt, Value(int64_t{r.Int(1, carriers)}), Value("A" + r.Digits(10)), Value(int64_t{r.Int(1, 24)}),
                 Value(r.Day(2020, 2024)), r.Chance(50) ? Value(r.Day(2025, 2027)) : Value(),
                 Value(engine::Currency{int64_t{r.Int(1, 8)} * 50000})});
        for (int i = r.Int(3, 20); i > 0; --i)
            add("PostFile",
                {pt, Value(r.Day(2015, 2026)), Value(r.Pick(kCodes)), Value(r.Pick(kReasons)),
                 Value(r.Int(2000, 90000) / 100.0), Value(int64_t{r.Int(1, 3)}), doc(), Value(r.Moment(2015, 2026))},
                r.Chance(3));
        for (int i = r.Int(1, 2); i > 0; --i)
            add("PatIns", {pt, Value(int64_t{r.Int(1, carriers)}), Value(r.Digits(12)), Value("G" + r.Digits(6)),
                           Value(int64_t{3 - i}), Value(first + " " + last), Value(r.Day(2010, 2025))});
        for (int i = r.Int(3, 20); i > 0; --i)
            add("PmtAndChrg",
                {pt, Value(r.Day(2015, 2026)), Value(r.Chance(50) ? "C" : "P"),
                 Value(engine::Currency{int64_t{r.Int(500, 500000)} * 100}), Value(r.Pick(kReasons)), doc(),
                 Value(int64_t{r.Int(1, carriers)}), Value(r.Int(0, 10000) / 8.0)},
                r.Chance(3));
        if (p % 3 == 1) {
            std::ofstream(folder / "Notes" / (std::to_string(p) + ".rtf"), std::ios::binary)
                << Rtf(p, first + " " + last);
            ++summary.notes;
        }
    }
    index();
    for (auto& [name, table] : t) table->Flush();
    return summary;
}

}  // namespace sample
