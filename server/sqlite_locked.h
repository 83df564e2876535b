#pragma once
// The lock every call of SqliteStorage takes (shared by its source files).
#include <sqlite3.h>

#include "sqlite_storage.h"

namespace wycserver {

// Holds the connection's mutex for one call and sets the deadline of its
// statements; gives up with StoreBusy when the mutex stays taken too long.
class SqliteStorage::Guard {
  public:
    explicit Guard(SqliteStorage& s) : m_s(s) {
        if (!m_s.m_mutex.try_lock_for(m_s.m_lockTimeout))
            throw StoreBusy("the data file is busy (no turn within the lock timeout)");
        m_s.m_deadline = std::chrono::steady_clock::now() + m_s.m_statementTimeout;
    }
    ~Guard() { m_s.m_mutex.unlock(); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

  private:
    SqliteStorage& m_s;
};

template <typename Work> auto SqliteStorage::locked(Work&& work) {
    Guard guard(*this);
    try {
        return work();
    } catch (const StoreBusy&) {
        throw;
    } catch (const DbError& e) {
        // Another process holds the file, or a statement ran out of time.
        const int primary = e.code() & 0xff;
        if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED || primary == SQLITE_INTERRUPT)
            throw StoreBusy(e.what(), e.code());
        throw;
    }
}

} // namespace wycserver
