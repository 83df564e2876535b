#include "sqlitedb/sqlite.h"

#include <sqlite3.h>

namespace {
sqlite3* openWith(const std::string& path, int flags) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        const int code = db ? sqlite3_extended_errcode(db) : rc;
        const int sysErrno = db ? sqlite3_system_errno(db) : 0;
        sqlite3_close(db);
        throw DbError(msg + ": " + path, code, sysErrno);
    }
    sqlite3_busy_timeout(db, 2000);
    sqlite3_extended_result_codes(db, 1);
    return db;
}
} // namespace

SqliteDb SqliteDb::openExisting(const std::string& path) {
    return SqliteDb(openWith(path, SQLITE_OPEN_READWRITE));
}

SqliteDb SqliteDb::openOrCreate(const std::string& path) {
    return SqliteDb(openWith(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE));
}

SqliteDb::~SqliteDb() {
    if (m_db) sqlite3_close_v2(m_db);
}

SqliteDb& SqliteDb::operator=(SqliteDb&& o) noexcept {
    if (this != &o) {
        if (m_db) sqlite3_close_v2(m_db);
        m_db = o.m_db;
        o.m_db = nullptr;
    }
    return *this;
}

void SqliteDb::fail(const std::string& what) const {
    if (!m_db) throw DbError(what + ": no database");
    throw DbError(what + ": " + sqlite3_errmsg(m_db), sqlite3_extended_errcode(m_db),
                  sqlite3_system_errno(m_db));
}

void SqliteDb::exec(const std::string& sql) {
    char* err = nullptr;
    if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : "error";
        sqlite3_free(err);
        throw DbError(msg, sqlite3_extended_errcode(m_db), sqlite3_system_errno(m_db));
    }
}

std::int64_t SqliteDb::lastInsertId() const {
    return sqlite3_last_insert_rowid(m_db);
}

int SqliteDb::changes() const {
    return sqlite3_changes(m_db);
}

Statement::Statement(const SqliteDb& db, std::string_view sql) : m_db(&db) {
    if (sqlite3_prepare_v2(db.handle(), sql.data(), static_cast<int>(sql.size()), &m_stmt,
                           nullptr) != SQLITE_OK)
        db.fail("prepare");
}

Statement::~Statement() {
    if (m_stmt) sqlite3_finalize(m_stmt);
}

Statement& Statement::bind(int index, std::string_view text) {
    if (sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT) != SQLITE_OK)
        m_db->fail("bind");
    return *this;
}

Statement& Statement::bind(int index, std::int64_t value) {
    if (sqlite3_bind_int64(m_stmt, index, value) != SQLITE_OK) m_db->fail("bind");
    return *this;
}

Statement& Statement::bindNull(int index) {
    if (sqlite3_bind_null(m_stmt, index) != SQLITE_OK) m_db->fail("bind");
    return *this;
}

bool Statement::step() {
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    m_db->fail("step");
}

void Statement::run() {
    while (step()) {
    }
    reset();
}

void Statement::reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

bool Statement::isNull(int col) const {
    return sqlite3_column_type(m_stmt, col) == SQLITE_NULL;
}

std::int64_t Statement::int64(int col) const {
    return sqlite3_column_int64(m_stmt, col);
}

std::string Statement::text(int col) const {
    const unsigned char* p = sqlite3_column_text(m_stmt, col);
    if (!p) return {};
    return std::string(reinterpret_cast<const char*>(p),
                       static_cast<size_t>(sqlite3_column_bytes(m_stmt, col)));
}

Transaction::Transaction(SqliteDb& db) : m_db(db) {
    m_db.exec("BEGIN IMMEDIATE");
}

Transaction::~Transaction() {
    if (!m_done) {
        try {
            m_db.exec("ROLLBACK");
        } catch (...) {
        }
    }
}

void Transaction::commit() {
    m_db.exec("COMMIT");
    m_done = true;
}
