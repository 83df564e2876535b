#pragma once
// The lock every call of SqliteStorage takes (shared by its source files).
#include <sqlite3.h>

#include <memory>

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

// A statement of the connection's cache for one use: reset (and its
// bindings cleared) when the use ends, so that no read stays open.
class SqliteStorage::Prepared {
  public:
    explicit Prepared(Statement& s) : m_s(s) {}
    ~Prepared() { m_s.reset(); }
    Prepared(const Prepared&) = delete;
    Prepared& operator=(const Prepared&) = delete;
    Statement& bind(int index, std::string_view text) { return m_s.bind(index, text); }
    Statement& bind(int index, std::int64_t value) { return m_s.bind(index, value); }
    Statement& bindNull(int index) { return m_s.bindNull(index); }
    bool step() { return m_s.step(); }
    void run() { m_s.run(); }
    void reset() { m_s.reset(); }
    bool isNull(int col) const { return m_s.isNull(col); }
    std::int64_t int64(int col) const { return m_s.int64(col); }
    std::string text(int col) const { return m_s.text(col); }
    Statement& statement() { return m_s; }

  private:
    Statement& m_s;
};

inline SqliteStorage::Prepared SqliteStorage::prepared(const std::string& sql) {
    auto it = m_statements.find(sql);
    if (it == m_statements.end())
        it = m_statements.emplace(sql, std::make_unique<Statement>(m_db, sql)).first;
    return Prepared(*it->second);
}

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
