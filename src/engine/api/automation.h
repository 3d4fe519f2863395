// engine::api::FoxApplication: the automation server of the engine ("VisualFoxPro.Application").
// Callers send it FoxPro commands one at a time through DoCmd; it keeps a current folder, at
// most one open database container, one work area with the table in use, and the SET
// EXCLUSIVE switch. Used to pack database folders and to empty tables (db/pack_database.h and
// the archive creation).
//
// Commands (keywords in any case; a keyword of four letters or more may be cut to its first
// four, as in FoxPro: "OPEN DATA" = "OPEN DATABASE"; names and paths may stand in double quotes):
//   ChDir <path> | CD <path>   change the current folder (relative paths from the current one)
//   OPEN DATABASE <name>       open the container <name>[.dbc] of the current folder, shared or
//                              exclusive by SET EXCLUSIVE; it replaces the container open before
//   PACK DATABASE              compact the open container; no other connection may hold it
//   CLOSE ALL                  close the table in use and the container
//   SET EXCLUSIVE ON|OFF       how USE and OPEN DATABASE open files; ON when the object is made
//   USE [<name> [EXCLUSIVE|SHARED]]
//                              close the table in use, then open <name>: a table of the open
//                              container, or a file <name>[.dbf] of the current folder (any
//                              case); "USE" alone only closes. A failed USE leaves no table in use
//   PACK                       drop the marked records of the table in use; needs exclusive use
//   DELETE ALL                 mark every record of the table in use deleted
//
// Every failure throws engine::Error (number and description naming the command, table or
// file); a refused command changes no file, and a pack is all or nothing (see table.h).
// Another connection or process holding a table or the container in a conflicting mode gives
// engine::err::kFileInUse naming it. Not thread-safe.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "engine/dbf/container.h"
#include "engine/dbf/table.h"

namespace engine::api {

// Error numbers of the command language beyond engine/error.h (FoxPro's own numbers).
namespace err {
inline constexpr long kUnrecognizedCommand = 16;  // a command verb the server does not know
inline constexpr long kNoTableInUse = 52;         // PACK or DELETE ALL with no table in use
inline constexpr long kMustBeExclusive = 110;     // PACK on a table in shared use
inline constexpr long kInvalidPath = 202;         // ChDir to a folder that does not exist
inline constexpr long kNoDatabase = 1520;         // PACK DATABASE with no container open
}  // namespace err

class FoxApplication {
public:
    // Starts in the process's current folder with SET EXCLUSIVE ON and nothing open.
    FoxApplication();
    ~FoxApplication();
    FoxApplication(const FoxApplication&) = delete;
    FoxApplication& operator=(const FoxApplication&) = delete;

    // Runs one command (see above). Throws engine::Error.
    void DoCmd(const std::string& command);

    const std::filesystem::path& CurrentFolder() const { return m_folder; }
    bool Exclusive() const { return m_exclusive; }
    // The open container and the table in use, or null; owned by this object.
    const Container* Database() const { return m_database.get(); }
    const Table* TableInUse() const { return m_table.get(); }

private:
    void ChangeFolder(const std::string& argument);
    void OpenDatabase(const std::string& name);
    void PackDatabase();
    void Use(const std::string& name, OpenMode mode);
    void PackTable();
    void DeleteAll();
    void CloseAll();
    std::filesystem::path Resolve(const std::string& name, const char* extension) const;
    OpenMode DefaultMode() const { return m_exclusive ? OpenMode::Exclusive : OpenMode::Shared; }

    std::filesystem::path m_folder;
    bool m_exclusive = true;
    std::unique_ptr<Container> m_database;
    std::unique_ptr<Table> m_table;
};

}  // namespace engine::api
