// engine::api::Connection: an ADO-shaped connection to one database (a .dbc container or a
// folder of free tables) named by a connection string (see connection_string.h: SourceDB is
// the container or folder, SourceType "DBC" or "DBF", Exclusive "Yes" starts with SET
// EXCLUSIVE ON). Each connection has its own SQL session, so SET DELETED and SET EXCLUSIVE
// hold for that connection only. The connection keeps the tables it used open (with their
// locks) across statements and recordsets until Close, CLOSE ALL, SET EXCLUSIVE or a pack of
// the table (see dbf_table_provider.h); changes other connections and processes make are seen
// by the next statement. ConnectionTimeout is how long a statement waits for a table another
// process holds (or writes) before it fails with engine::err::kFileInUse naming the table.
//
// Every failure throws engine::Error with a number and a description; opening a missing
// database names the file. Not thread-safe.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/api/dbf_table_provider.h"
#include "engine/sql/executor.h"
#include "engine/sql/session.h"

namespace engine::api {

class Recordset;

// What an open connection and the recordsets opened on it share.
struct ConnectionCore {
    std::unique_ptr<DbfTableProvider> provider;
    std::unique_ptr<sql::Session> session;
    // Runs a statement text as one statement of the connection (its tables checked for
    // others' changes once, its writes synced at the end unless flushing is deferred).
    sql::Outcome Execute(std::string_view text);
    // The same for a statement whose last SELECT's rows are read as they are wanted.
    sql::ForwardOutcome ExecuteForward(std::string_view text);
    void Check(std::string_view text);
};

inline constexpr int kAdSchemaTables = 20;

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    long Mode() const { return m_mode; }
    void SetMode(long mode) { m_mode = mode; }
    long ConnectionTimeout() const { return m_timeout; }
    void SetConnectionTimeout(long seconds);
    std::optional<long> CursorLocation() const { return m_cursorLocation; }
    void SetCursorLocation(long location) { m_cursorLocation = location; }
    // Read back exactly as set.
    const std::string& ConnectionString() const { return m_connectionString; }
    void SetConnectionString(std::string text) { m_connectionString = std::move(text); }

    // Opens the database the connection string names (text, when not empty, replaces the
    // connection string). user, password and options are accepted and not used.
    void Open(const std::string& user = {}, const std::string& password = {}, const std::string& text = {},
              long options = -1);
    // Runs one statement or several separated by ";". Returns what the last statement did.
    sql::Outcome Execute(std::string_view text, long options = -1);
    // Runs text as Execute does, but leaves the rows of a last SELECT unread: they come from
    // the returned forward-only recordset one at a time (see Recordset::Open), so memory stays
    // flat whatever their number. Null when the last statement is no SELECT; recordsAffected
    // (when given) receives what that statement did.
    std::unique_ptr<Recordset> ExecuteForward(std::string_view text, long* recordsAffected = nullptr);
    // Checks every statement of text as Execute does before running the first, and runs none.
    void Check(std::string_view text);
    // Schema 20 (tables) with restrictions {catalog, schema, table name, table type}: one row
    // per table with TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME and TABLE_TYPE ("TABLE").
    std::unique_ptr<Recordset> OpenSchema(int schema, const std::vector<std::string>& restrictions = {});
    // 0 closed, 1 open.
    int State() const { return m_core ? 1 : 0; }
    void Close();

    // Durability. By default every statement that writes makes its writes durable (fsync of
    // the table, memo and index files it changed) before it returns; a recordset's changes
    // are made durable when it is closed (or by the connection's next statement). With deferred flushing
    // on, writes reach the disk only at Flush() or Close(): a caller that commits groups of
    // changes (the archive run) flushes once per group instead of once per statement.
    // A process kill loses nothing either way; only a power loss can lose unflushed writes.
    // Turning it off syncs what was left unsynced.
    bool DeferredFlush() const { return m_deferredFlush; }
    void SetDeferredFlush(bool deferred);
    // Makes every write made through this connection so far durable. Throws engine::Error
    // naming the file when the system refuses (a failed fsync is never ignored).
    void Flush();

    // The shared state of the open connection; throws err::kNotOpen when closed.
    const std::shared_ptr<ConnectionCore>& Core() const;

private:
    long m_mode = 0;
    long m_timeout = 15;
    std::optional<long> m_cursorLocation;
    std::string m_connectionString;
    bool m_deferredFlush = false;
    std::shared_ptr<ConnectionCore> m_core;
};

}  // namespace engine::api
