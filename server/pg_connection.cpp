#include "pg_connection.h"

#include <libpq-fe.h>

#include <charconv>
#include <chrono>

#include "storage.h"

namespace wycserver {

void PgResult::clear(pg_result* r) {
    if (r) PQclear(r);
}

int PgResult::rows() const {
    return PQntuples(m_res.get());
}

std::string PgResult::text(int row, int col) const {
    if (PQgetisnull(m_res.get(), row, col)) return {};
    return std::string(PQgetvalue(m_res.get(), row, col),
                       static_cast<std::size_t>(PQgetlength(m_res.get(), row, col)));
}

std::int64_t PgResult::int64(int row, int col) const {
    const char* v = PQgetvalue(m_res.get(), row, col);
    const auto len = static_cast<std::size_t>(PQgetlength(m_res.get(), row, col));
    std::int64_t out = 0;
    auto [end, ec] = std::from_chars(v, v + len, out);
    if (ec != std::errc() || end != v + len) throw DbError("not a number: " + std::string(v, len));
    return out;
}

bool PgResult::isNull(int row, int col) const {
    return PQgetisnull(m_res.get(), row, col) != 0;
}

std::int64_t PgResult::affected() const {
    const char* n = PQcmdTuples(m_res.get());
    return n && *n ? std::stoll(n) : 0;
}

PgConnection::PgConnection(const std::string& uri, PgTimeouts timeouts)
    : m_uri(uri), m_timeouts(timeouts) {
    // A database that does not answer fails the connection within seconds;
    // a connect_timeout in the URI itself comes later and wins.
    const char* keys[] = {"connect_timeout", "dbname", nullptr};
    const char* values[] = {"3", uri.c_str(), nullptr};
    m_conn = PQconnectdbParams(keys, values, 1);
    if (PQstatus(m_conn) != CONNECTION_OK) fail("cannot connect to PostgreSQL");
    setUp();
}

void PgConnection::setUp() {
    // Every text the server stores is UTF-8, whatever the database's default.
    if (PQsetClientEncoding(m_conn, "UTF8") != 0) fail("cannot use UTF-8");
    run("SET client_min_messages TO warning");
    run("SET statement_timeout = " + std::to_string(m_timeouts.statementMs));
    run("SET lock_timeout = " + std::to_string(m_timeouts.lockMs));
}

PgConnection::~PgConnection() {
    if (m_conn) PQfinish(m_conn);
}

namespace {

// Errors after which the same request may well succeed a moment later: a
// statement or lock timeout, a conflict, a database that is starting, stopping
// or out of connections, a lost link.
bool transient(const char* sqlState) {
    if (!sqlState) return true; // no answer at all: the link is gone
    const std::string_view s(sqlState);
    return s == "57014" || s == "55P03" || s == "40001" || s == "40P01" || s == "53300" ||
           s == "57P01" || s == "57P02" || s == "57P03" || s.substr(0, 2) == "08";
}

} // namespace

void PgConnection::fail(const std::string& what, pg_result* r) {
    std::string msg = r ? PQresultErrorMessage(r) : PQerrorMessage(m_conn);
    const bool busy =
        r ? transient(PQresultErrorField(r, PG_DIAG_SQLSTATE)) : PQstatus(m_conn) != CONNECTION_OK;
    if (r) PQclear(r);
    while (!msg.empty() && (msg.back() == '\n' || msg.back() == ' '))
        msg.pop_back();
    if (busy) throw StoreBusy(what + ": " + msg);
    throw DbError(what + ": " + msg);
}

bool PgConnection::healthy() {
    if (PQstatus(m_conn) == CONNECTION_OK) return true;
    // The server restarted or the link broke: statements prepared on the old
    // session are gone with it.
    m_prepared.clear();
    PQreset(m_conn);
    if (PQstatus(m_conn) != CONNECTION_OK) return false;
    try {
        setUp();
    } catch (const DbError&) {
        return false;
    }
    return true;
}

namespace {

bool succeeded(const pg_result* r) {
    const auto status = PQresultStatus(r);
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

} // namespace

// After the database restarts, every pooled link is dead, which only the next
// statement finds out. A statement sent outside a transaction is then sent
// once more on a new link: it never ran, or (with the link lost at the very
// end) it is one that the store makes harmless to repeat. Within a
// transaction nothing is repeated: the transaction fails as a whole.
bool PgConnection::reconnectAfter(bool wasIdle) {
    return wasIdle && PQstatus(m_conn) == CONNECTION_BAD && healthy();
}

void PgConnection::run(const std::string& sql) {
    const bool idle = PQtransactionStatus(m_conn) == PQTRANS_IDLE;
    pg_result* r = PQexec(m_conn, sql.c_str());
    if (!succeeded(r) && reconnectAfter(idle)) {
        PQclear(r);
        r = PQexec(m_conn, sql.c_str());
    }
    if (!succeeded(r)) fail("statement failed", r);
    PQclear(r);
}

pg_result* PgConnection::attempt(const std::string& sql, const std::vector<PgParam>& params,
                                 bool binaryResult, std::string& what) {
    auto it = m_prepared.find(sql);
    if (it == m_prepared.end()) {
        const std::string name = "s" + std::to_string(m_prepared.size());
        pg_result* r = PQprepare(m_conn, name.c_str(), sql.c_str(), 0, nullptr);
        if (!succeeded(r)) {
            what = "prepare failed";
            return r;
        }
        PQclear(r);
        it = m_prepared.emplace(sql, name).first;
    }
    std::vector<const char*> values;
    std::vector<int> lengths, formats;
    for (const auto& p : params) {
        values.push_back(p.isNull ? nullptr : p.value.c_str());
        lengths.push_back(static_cast<int>(p.value.size()));
        formats.push_back(p.binary ? 1 : 0);
    }
    what = "statement failed";
    return PQexecPrepared(m_conn, it->second.c_str(), static_cast<int>(values.size()),
                          values.data(), lengths.data(), formats.data(), binaryResult ? 1 : 0);
}

PgResult PgConnection::exec(std::string_view sql, const std::vector<PgParam>& params,
                            bool binaryResult) {
    // A text parameter ends at its first NUL in libpq: refuse rather than cut.
    for (const auto& p : params)
        if (!p.binary && p.value.find('\0') != std::string::npos)
            throw DbError("a text holds a NUL character");
    const std::string text(sql);
    const bool idle = PQtransactionStatus(m_conn) == PQTRANS_IDLE;
    std::string what;
    pg_result* r = attempt(text, params, binaryResult, what);
    if (!succeeded(r) && reconnectAfter(idle)) {
        PQclear(r);
        r = attempt(text, params, binaryResult, what);
    }
    if (!succeeded(r)) fail(what, r);
    return PgResult(r);
}

PgTransaction::PgTransaction(PgConnection& conn) : m_conn(conn) {
    m_conn.run("BEGIN");
}

PgTransaction::~PgTransaction() {
    if (m_done) return;
    try {
        m_conn.run("ROLLBACK");
    } catch (...) {
        // A broken link has ended the transaction on the server anyway.
    }
}

void PgTransaction::commit() {
    m_conn.run("COMMIT");
    m_done = true;
}

PgPool::PgPool(std::string uri, std::size_t size, PgTimeouts timeouts)
    : m_uri(std::move(uri)), m_size(size), m_timeouts(timeouts) {}

PgPool::Lease PgPool::lease() {
    std::unique_lock lock(m_mutex);
    if (!m_freed.wait_for(lock, std::chrono::milliseconds(m_timeouts.lockMs),
                          [this] { return !m_idle.empty() || m_open < m_size; }))
        throw StoreBusy("no free connection to PostgreSQL within the lock timeout");
    if (!m_idle.empty()) {
        auto conn = std::move(m_idle.back());
        m_idle.pop_back();
        lock.unlock();
        if (!conn->healthy()) {
            {
                std::lock_guard again(m_mutex);
                --m_open;
            }
            m_freed.notify_one();
            throw StoreBusy("the connection to PostgreSQL is lost");
        }
        return Lease(*this, std::move(conn));
    }
    ++m_open;
    lock.unlock();
    try {
        return Lease(*this, std::make_unique<PgConnection>(m_uri, m_timeouts));
    } catch (...) {
        {
            std::lock_guard again(m_mutex);
            --m_open;
        }
        m_freed.notify_one();
        throw;
    }
}

void PgPool::giveBack(std::unique_ptr<PgConnection> conn) {
    {
        std::lock_guard lock(m_mutex);
        m_idle.push_back(std::move(conn));
    }
    m_freed.notify_one();
}

PgPool::Lease::~Lease() {
    if (m_conn) m_pool.giveBack(std::move(m_conn));
}

} // namespace wycserver
