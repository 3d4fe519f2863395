// Helpers for the index tests: a generated indexed table, random row changes, and the check
// that every tag of a table holds exactly the keys its rows give.
#pragma once

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/dbf/table.h"

namespace index_testing {

// A patient-like table (number, names, dates, amounts, flags, a nullable text) with tags of
// every key kind, a candidate tag, a FOR tag and case-folded text tags; rows rows.
std::unique_ptr<engine::Table> MakeIndexedTable(const std::filesystem::path& path, int rows, uint32_t seed,
                                                engine::OpenMode reopenAs = engine::OpenMode::Exclusive);

// One random change: append (mostly), overwrite, deletion mark, occasionally a pack when
// packs is true. A change refused for a duplicate candidate key must leave the table as it was.
void RandomChange(engine::Table& table, std::mt19937& rng, bool packs);

// Fails the current test unless every tag equals the keys computed from the rows and the
// trees are well formed.
void ExpectIndexMatchesRows(engine::Table& table);

// Record numbers (1-based) that index_dump lists for a tag, or empty when it is missing.
std::vector<uint32_t> IndexDumpRecords(const std::filesystem::path& index, const std::string& tag);
bool HaveIndexDump();

}  // namespace index_testing
