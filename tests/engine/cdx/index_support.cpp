#include "index_support.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "engine/cdx/cdx_format.h"
#include "engine/error.h"
#include "support/requirements.h"
#include "support/temp_dir.h"

namespace index_testing {

namespace {

std::string RandomWord(std::mt19937& rng, int length) {
    static const char* kLetters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string s;
    const int n = 1 + static_cast<int>(rng() % length);
    for (int i = 0; i < n; ++i) s += kLetters[rng() % 52];
    return s;
}

// A random value for a field of the kind the table stores there.
engine::Value RandomValue(const engine::Field& f, std::mt19937& rng) {
    if (f.nullable && rng() % 8 == 0) return engine::Value();
    switch (f.type) {
        case 'C':
        case 'V': return RandomWord(rng, std::min(f.length, 12));
        case 'I': return engine::Value(int64_t(rng() % 2000) - 300);
        case 'N':
        case 'F':
            return f.decimals ? engine::Value(double(int64_t(rng() % 200000) - 50000) / 100.0)
                              : engine::Value(int64_t(rng() % 100000));
        case 'B': return engine::Value(double(int64_t(rng() % 200000) - 100000) / 7.0);
        case 'Y': return engine::Value(engine::Currency{int64_t(rng() % 10000000) - 5000000});
        case 'L': return engine::Value(rng() % 2 == 0);
        case 'D':
            return rng() % 20 == 0 ? engine::Value(engine::Date{})
                                   : engine::Value(engine::Date{2440000 + int32_t(rng() % 30000)});
        case 'T':
            return engine::Value(engine::DateTime{2450000 + int32_t(rng() % 9000), int32_t(rng() % 86400) * 1000});
        default: return engine::Value();
    }
}

}  // namespace

std::unique_ptr<engine::Table> MakeIndexedTable(const std::filesystem::path& path, int rows, uint32_t seed,
                                                engine::OpenMode reopenAs) {
    std::vector<engine::FieldSpec> fields = {
        {.name = "PTNUM", .type = 'I'},
        {.name = "LASTNAME", .type = 'C', .length = 30},
        {.name = "FIRSTNAME", .type = 'C', .length = 20},
        {.name = "BIRTH", .type = 'D'},
        {.name = "BALANCE", .type = 'N', .length = 10, .decimals = 2},
        {.name = "ACTIVE", .type = 'L'},
        {.name = "CHANGED", .type = 'T'},
        {.name = "TOWN", .type = 'C', .length = 24, .nullable = true},
        {.name = "FEE", .type = 'Y'},
        {.name = "NOTES", .type = 'M'},
    };
    auto table = engine::Table::Create(path, fields);
    std::mt19937 rng(seed);
    for (int i = 0; i < rows; ++i) {
        std::vector<engine::Value> values;
        for (const auto& f : table->Fields()) values.push_back(RandomValue(f, rng));
        values[0] = engine::Value(int64_t{i + 1});
        values[9] = engine::Value("note " + std::to_string(i));
        table->Append(values, rng() % 30 == 0);
    }
    table->CreateIndex({
        {"PTNUM", "ptnum", "", true},
        {"LASTNAME", "UPPER(lastname)"},
        {"NAME", "UPPER(lastname+firstname)"},
        {"BIRTH", "birth"},
        {"BIRTHNAME", "DTOS(birth)+lastname"},
        {"BALANCE", "balance"},
        {"ACTIVE", "active"},
        {"CHANGED", "changed"},
        {"TOWN", "town"},
        {"FEE", "fee"},
        {"LIVE", "STR(ptnum)", "!DELETED()"},
        {"PADDED", "PADL(ALLTRIM(firstname),12,'_')+BINTOC(ptnum)"},
    });
    if (reopenAs == engine::OpenMode::Exclusive) return table;
    table.reset();
    return engine::Table::Open(path, reopenAs);
}

void RandomChange(engine::Table& table, std::mt19937& rng, bool packs) {
    const uint32_t count = table.RecordCount();
    const unsigned pick = rng() % 100;
    std::vector<engine::Value> values;
    for (const auto& f : table.Fields()) values.push_back(f.IsMemo() ? engine::Value("memo") : RandomValue(f, rng));
    // Candidate tags get a mostly fresh key; now and then a taken one, which must be refused.
    const int key = table.FieldIndex("PTNUM");
    if (key >= 0)
        values[key] = engine::Value(int64_t(rng() % 8 == 0 ? rng() % (count + 1) : 100000 + rng() % 900000000));
    try {
        if (packs && pick == 0) {
            table.Pack();
        } else if (count == 0 || pick < 60) {
            table.Append(values, rng() % 20 == 0);
        } else if (pick < 85) {
            table.Overwrite(rng() % count, values);
        } else {
            table.SetDeleted(rng() % count, rng() % 2 == 0);
        }
    } catch (const engine::Error& e) {
        ASSERT_EQ(e.Number(), engine::cdx::kUniqueViolated) << e.Description();
        ASSERT_EQ(table.RecordCount(), count);
    }
}

void ExpectIndexMatchesRows(engine::Table& table) {
    ASSERT_NO_THROW(table.VerifyIndex());
    const auto tags = table.IndexTags();
    for (size_t t = 0; t < tags.size(); ++t) {
        const auto entries = table.IndexEntries(t);
        EXPECT_EQ(entries, table.ExpectedIndexEntries(t)) << "tag " << tags[t].name;
        std::vector<uint32_t> records;
        for (const auto& e : entries) records.push_back(e.record);
        EXPECT_EQ(table.IndexRecords(t), records) << "tag " << tags[t].name;
    }
}

bool HaveIndexDump() { return testing_support::MissingCommand("index_dump", "libdbd-xbase-perl").empty(); }

std::vector<uint32_t> IndexDumpRecords(const std::filesystem::path& index, const std::string& tag) {
    testing_support::TempDir dir;
    const auto copy = dir / "copy.cdx";  // index_dump wants the .cdx extension
    std::filesystem::copy_file(index, copy);
    const std::string command = "index_dump --type=char --tag=" + tag + " '" + copy.string() + "' 2>/dev/null";
    std::vector<uint32_t> out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    std::string text;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    pclose(pipe);
    // Each line ends in " <record number>"; keys are raw bytes and may hold anything.
    for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', end + 1)) {
        size_t start = end;
        while (start > 0 && std::isdigit(static_cast<unsigned char>(text[start - 1]))) --start;
        if (start < end && start > 0 && text[start - 1] == ' ')
            out.push_back(std::stoul(text.substr(start, end - start)));
    }
    return out;
}

}  // namespace index_testing
