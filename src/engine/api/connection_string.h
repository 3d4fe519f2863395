// Reads a connection string: "key=value" pairs separated by ";", keys without regard to case,
// blanks around "=" and the pieces allowed, a value in double quotes taken whole (it may hold
// ";"), and the pairs of an "Extended Properties" value read as if they stood at the top. This
// is the form Connect_DBC builds:
//   Provider=MSDASQL;Persist Security Info=False;Extended Properties="DRIVER=...;
//   Collate=Machine;BackgroundFetch=Yes;Exclusive = No;SourceDB=/data/Corvane.dbc;SourceType=DBC;"
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace engine::api {

class ConnectionProperties {
public:
    explicit ConnectionProperties(std::string_view text);

    // The value of key (any case), or nullopt.
    std::optional<std::string> Get(std::string_view key) const;
    // Yes/No, True/False, On/Off, 1/0; fallback when missing or unreadable.
    bool Flag(std::string_view key, bool fallback) const;

private:
    void Read(std::string_view text);
    std::map<std::string, std::string> m_values;  // by upper-case key
};

}  // namespace engine::api
