#pragma once
// Thin RAII wrappers over SQLite: a connection and a prepared statement with
// bound parameters. Failures throw DbError carrying SQLite's message.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

class DbError : public std::runtime_error {
  public:
    // `code` is SQLite's extended result code and `systemErrno` the errno of
    // the last file operation (0 when the failure did not come from SQLite).
    explicit DbError(const std::string& what, int code = 0, int systemErrno = 0)
        : std::runtime_error(what), m_code(code), m_systemErrno(systemErrno) {}
    int code() const { return m_code; }
    int systemErrno() const { return m_systemErrno; }

  private:
    int m_code;
    int m_systemErrno;
};

class SqliteDb {
  public:
    // Opens an existing database file read-write; never creates one.
    static SqliteDb openExisting(const std::string& path);
    // Opens or creates (for tools and tests).
    static SqliteDb openOrCreate(const std::string& path);
    SqliteDb() = default;
    ~SqliteDb();
    SqliteDb(SqliteDb&& o) noexcept : m_db(o.m_db) { o.m_db = nullptr; }
    SqliteDb& operator=(SqliteDb&& o) noexcept;
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    sqlite3* handle() const { return m_db; }
    void exec(const std::string& sql);
    std::int64_t lastInsertId() const;
    int changes() const;
    [[noreturn]] void fail(const std::string& what) const;

  private:
    explicit SqliteDb(sqlite3* db) : m_db(db) {}
    sqlite3* m_db = nullptr;
};

class Statement {
  public:
    Statement(const SqliteDb& db, std::string_view sql);
    ~Statement();
    Statement(Statement&& o) noexcept : m_db(o.m_db), m_stmt(o.m_stmt) { o.m_stmt = nullptr; }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, std::string_view text); // 1-based
    Statement& bind(int index, std::int64_t value);
    Statement& bindNull(int index);
    // Advances; true while a row is available.
    bool step();
    // Runs a statement that returns no rows.
    void run();
    void reset();

    bool isNull(int col) const;
    std::int64_t int64(int col) const;
    std::string text(int col) const; // NULL reads as empty

  private:
    const SqliteDb* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

// BEGIN ... COMMIT, rolled back when left without commit().
class Transaction {
  public:
    explicit Transaction(SqliteDb& db);
    ~Transaction();
    void commit();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

  private:
    SqliteDb& m_db;
    bool m_done = false;
};
