// The whole of a database folder as the real file layer reads it: every table of the folder
// (container tables and free ones) opened, its records read with their deletion marks and its
// index checked. A table that does not open or read throws, naming it.
#pragma once

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "db/ado_tools.h"
#include "engine/ascii_case.h"
#include "engine/dbf/table.h"
#include "engine/error.h"

namespace fault_testing {

// Table file name -> each record as "*" (deleted) or " " and its values' text.
using WholeDatabase = std::map<std::string, std::vector<std::string>>;

inline WholeDatabase ReadWholeDatabase(const std::filesystem::path& folder) {
    WholeDatabase whole;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string extension = engine::AsciiLower(entry.path().extension().string());
        if (!entry.is_regular_file() || (extension != ".dbf" && extension != ".dbc")) continue;
        try {
            auto table = engine::Table::Open(entry.path());
            auto& rows = whole[entry.path().filename().string()];
            for (uint32_t r = 0; r < table->RecordCount(); ++r) {
                std::string text = table->IsDeleted(r) ? "*" : " ";
                for (const engine::Value& value : table->ReadRecord(r).values)
                    text += AdoTools::VariantText(value) + "|";
                rows.push_back(std::move(text));
            }
            if (!table->IndexTags().empty()) table->VerifyIndex();
        } catch (const engine::Error& e) {
            throw engine::Error(e.Number(), entry.path().string() + " does not read: " + e.Description());
        }
    }
    return whole;
}

// The live records only.
inline std::vector<std::string> LiveRows(const WholeDatabase& whole, const std::string& file) {
    std::vector<std::string> live;
    const auto it = whole.find(file);
    if (it == whole.end()) return live;
    std::copy_if(it->second.begin(), it->second.end(), std::back_inserter(live),
                 [](const std::string& row) { return row.starts_with(" "); });
    return live;
}

}  // namespace fault_testing
