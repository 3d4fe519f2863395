// Per-connection state of the SQL executor: the SET options, how long to wait for tables
// other processes hold, and the table provider that statements run against. One Session
// belongs to one connection and one thread.
#pragma once

#include <chrono>

#include "engine/sql/table_access.h"

namespace engine::sql {

struct Settings {
    bool deleted = true;     // SET DELETED ON: records marked deleted are invisible
    bool exclusive = false;  // SET EXCLUSIVE ON: tables are opened for exclusive use
    // SET AUTOINCERROR ON: a value assigned to an autoincrement field is refused; OFF: it is
    // stored (copies that must keep the numbers of their source).
    bool autoIncError = true;
};

class Session {
public:
    // The provider must outlive the session.
    explicit Session(TableProvider& provider) : m_provider(&provider) { provider.SetLockTimeout(m_lockTimeout); }

    TableProvider& Provider() const { return *m_provider; }
    Settings& Options() { return m_settings; }
    const Settings& Options() const { return m_settings; }
    // The wait for locks another process holds (the connection's timeout); 15 s by default.
    std::chrono::milliseconds LockTimeout() const { return m_lockTimeout; }
    void SetLockTimeout(std::chrono::milliseconds wait) {
        m_lockTimeout = wait;
        m_provider->SetLockTimeout(wait);
    }

private:
    TableProvider* m_provider;
    Settings m_settings;
    std::chrono::milliseconds m_lockTimeout{15000};
};

}  // namespace engine::sql
