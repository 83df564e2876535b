#pragma once
// Thin wrappers over libpq: one connection with prepared statements cached by
// their text, a result, a transaction, and a pool that lends connections to one
// thread at a time. Parameters go as text, except those marked binary (bytea
// columns, which hold any bytes). Failures throw DbError with the server's
// message; a statement that ran out of time, waited too long for a lock or a
// connection, or lost its link throws StoreBusy.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sqlitedb/sqlite.h" // DbError

struct pg_conn;
struct pg_result;

namespace wycserver {

struct PgParam {
    PgParam(std::string_view text) : value(text) {}
    PgParam(const char* text) : value(text) {}
    PgParam(const std::string& text) : value(text) {}
    PgParam(std::int64_t number) : value(std::to_string(number)) {}
    static PgParam bytes(std::string_view raw) {
        PgParam p(raw);
        p.binary = true;
        return p;
    }
    static PgParam null() {
        PgParam p("");
        p.isNull = true;
        return p;
    }
    template <typename T> static PgParam optional(const std::optional<T>& v) {
        return v ? PgParam(*v) : null();
    }
    std::string value;
    bool binary = false;
    bool isNull = false;
};

// How long the database may take: a statement, a wait for a lock, and (in a
// pool) a wait for a free connection, in milliseconds.
struct PgTimeouts {
    int statementMs = 5000;
    int lockMs = 2000;
};

class PgResult {
  public:
    explicit PgResult(pg_result* r) : m_res(r, &clear) {}
    int rows() const;
    bool empty() const { return rows() == 0; }
    // Text of a field (or its raw bytes for a binary result); NULL reads as empty.
    std::string text(int row, int col) const;
    std::int64_t int64(int row, int col) const;
    bool isNull(int row, int col) const;
    // Rows changed by an INSERT, UPDATE or DELETE.
    std::int64_t affected() const;

  private:
    static void clear(pg_result* r);
    std::unique_ptr<pg_result, void (*)(pg_result*)> m_res;
};

class PgConnection {
  public:
    // uri: a libpq connection string or URI ("postgresql://user:pw@host:port/db").
    explicit PgConnection(const std::string& uri, PgTimeouts timeouts = {});
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Runs one statement (prepared once per connection). binaryResult: fields
    // come back as raw bytes (for bytea).
    PgResult exec(std::string_view sql, const std::vector<PgParam>& params = {},
                  bool binaryResult = false);
    // Runs statements without parameters or results (schema, BEGIN, COMMIT).
    void run(const std::string& sql);
    // True when the link to the server is still good; reconnects when it is not.
    bool healthy();

  private:
    pg_result* attempt(const std::string& sql, const std::vector<PgParam>& params,
                       bool binaryResult, std::string& what);
    bool reconnectAfter(bool wasIdle);
    [[noreturn]] void fail(const std::string& what, pg_result* r = nullptr);
    void setUp();
    std::string m_uri;
    PgTimeouts m_timeouts;
    pg_conn* m_conn = nullptr;
    std::unordered_map<std::string, std::string> m_prepared; // sql -> statement name
};

// BEGIN ... COMMIT, rolled back when left without commit().
class PgTransaction {
  public:
    explicit PgTransaction(PgConnection& conn);
    ~PgTransaction();
    void commit();
    PgTransaction(const PgTransaction&) = delete;
    PgTransaction& operator=(const PgTransaction&) = delete;

  private:
    PgConnection& m_conn;
    bool m_done = false;
};

// At most `size` connections, opened when first needed; a thread that finds all
// lent out waits for one, up to the lock timeout.
class PgPool {
  public:
    PgPool(std::string uri, std::size_t size, PgTimeouts timeouts = {});

    class Lease {
      public:
        Lease(PgPool& pool, std::unique_ptr<PgConnection> conn)
            : m_pool(pool), m_conn(std::move(conn)) {}
        ~Lease();
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        PgConnection& operator*() { return *m_conn; }
        PgConnection* operator->() { return m_conn.get(); }

      private:
        PgPool& m_pool;
        std::unique_ptr<PgConnection> m_conn;
    };
    Lease lease();
    const std::string& uri() const { return m_uri; }

  private:
    void giveBack(std::unique_ptr<PgConnection> conn);

    std::string m_uri;
    std::size_t m_size;
    PgTimeouts m_timeouts;
    std::mutex m_mutex;
    std::condition_variable m_freed;
    std::size_t m_open = 0;
    std::vector<std::unique_ptr<PgConnection>> m_idle;
};

} // namespace wycserver
