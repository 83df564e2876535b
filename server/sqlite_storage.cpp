// Opening a SQLite store: the file's permissions, the tables, the upgrade of
// files of older layouts, and the online backup.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "sqlite_locked.h"

namespace wycserver {

namespace {

// Takes group and other permissions away from a file, if it exists.
void restrictToOwner(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && (st.st_mode & 077))
        ::chmod(path.c_str(), st.st_mode & 0700);
}

// Creates the file owner-only when it is missing. SQLite gives its journal
// files the permissions of the database file, so every file of the store
// stays owner-only.
void createOwnerOnly(const std::string& path) {
    if (path.empty() || path == ":memory:") return;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) ::close(fd);
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        restrictToOwner(path + suffix);
}

bool hasTable(SqliteDb& db, const char* name) {
    Statement st(db, "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = ?1");
    st.bind(1, name);
    st.step();
    return st.int64(0) != 0;
}

bool hasColumn(SqliteDb& db, const char* table, const char* column) {
    Statement st(db, "SELECT COUNT(*) FROM pragma_table_info(?1) WHERE name = ?2");
    st.bind(1, table).bind(2, column);
    st.step();
    return st.int64(0) != 0;
}

StoreLocation fileLocation(const std::string& path, bool starterPairs) {
    StoreLocation where;
    where.sqliteFile = path;
    where.starterPairs = starterPairs;
    return where;
}

} // namespace

SqliteStorage::SqliteStorage(const std::string& path, bool starterPairs)
    : SqliteStorage(fileLocation(path, starterPairs)) {}

SqliteStorage::SqliteStorage(const StoreLocation& where)
    : m_keptPostBytes(where.keptPostBytes),
      m_statementTimeout(std::chrono::milliseconds(where.statementTimeoutMs)),
      m_lockTimeout(std::chrono::milliseconds(where.lockTimeoutMs)) {
    const std::string& path = where.sqliteFile;
    createOwnerOnly(path);
    m_db = SqliteDb::openOrCreate(path);
    sqlite3_busy_timeout(m_db.handle(), where.lockTimeoutMs);
    sqlite3_progress_handler(m_db.handle(), 1000, &SqliteStorage::progress, this);
    Guard guard(*this);
    // Opening and upgrading a large file may take longer than a request may.
    m_deadline = std::chrono::steady_clock::time_point::max();
    m_db.exec("PRAGMA journal_mode=WAL");
    m_db.exec("PRAGMA synchronous=NORMAL");
    // Files made before the layout had a number are layout 1.
    std::int64_t version = 0;
    if (hasTable(m_db, "schema_version")) {
        Statement st(m_db, "SELECT MAX(version) FROM schema_version");
        st.step();
        version = st.int64(0);
    } else if (hasTable(m_db, "shared_pairs")) {
        version = 1;
    }
    if (version > kSchemaVersion)
        throw DbError("the data file " + path + " has layout " + std::to_string(version) +
                      ", made by a newer server; this one knows layouts up to " +
                      std::to_string(kSchemaVersion));
    if (version != kSchemaVersion) upgrade(version, where.starterPairs);
}

int SqliteStorage::progress(void* self) {
    return std::chrono::steady_clock::now() > static_cast<SqliteStorage*>(self)->m_deadline;
}

// Brings a file of any earlier layout (0: a new file) to the current one in
// one transaction.
void SqliteStorage::upgrade(std::int64_t fromVersion, bool starterPairs) {
    migratePosts();
    Transaction tx(m_db);
    createSchema();
    addMissingColumns();
    if (fromVersion < 3) {
        // The ledger starts from the balances as they stand.
        m_db.exec(std::string("INSERT INTO ledger (user_id, change, reason, request)"
                              " SELECT id, points, '") +
                  ledger::kOpening + "', '' FROM accounts WHERE points <> 0");
        if (starterPairs) seedStarterPairs();
        numberAllPairs();
    }
    m_db.exec("DELETE FROM schema_version");
    Statement put(m_db, "INSERT INTO schema_version (version) VALUES (?1)");
    put.bind(1, kSchemaVersion);
    put.run();
    tx.commit();
}

void SqliteStorage::createSchema() {
    m_db.exec("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
    m_db.exec("CREATE TABLE IF NOT EXISTS accounts ("
              " id INTEGER PRIMARY KEY,"
              " name TEXT NOT NULL UNIQUE,"
              " password_hash TEXT NOT NULL,"
              " recovery_hash TEXT NOT NULL,"
              " points INTEGER NOT NULL CHECK (points >= 0),"
              " created TEXT NOT NULL DEFAULT (datetime('now')),"
              " disabled INTEGER NOT NULL DEFAULT 0,"
              " share_banned INTEGER NOT NULL DEFAULT 0,"
              " token_key TEXT NOT NULL DEFAULT '')");
    // Every change of points, with its reason and the request that made it.
    m_db.exec("CREATE TABLE IF NOT EXISTS ledger ("
              " seq INTEGER PRIMARY KEY AUTOINCREMENT,"
              " at TEXT NOT NULL DEFAULT (datetime('now')),"
              " user_id INTEGER NOT NULL,"
              " change INTEGER NOT NULL,"
              " reason TEXT NOT NULL,"
              " request TEXT NOT NULL)");
    m_db.exec("CREATE INDEX IF NOT EXISTS ledger_user ON ledger (user_id, seq)");
    // `pos` numbers the pairs 1, 2, ... in the order they came, without gaps,
    // so that a page is a range of it; pair_stats holds how many there are.
    m_db.exec("CREATE TABLE IF NOT EXISTS shared_pairs ("
              " net_id INTEGER PRIMARY KEY AUTOINCREMENT,"
              " ow TEXT NOT NULL,"
              " nw TEXT NOT NULL,"
              " sharer INTEGER NOT NULL,"
              " created TEXT NOT NULL DEFAULT (datetime('now')),"
              " pos INTEGER,"
              " UNIQUE (ow, nw))");
    m_db.exec("CREATE TABLE IF NOT EXISTS pair_stats ("
              " id INTEGER PRIMARY KEY CHECK (id = 1),"
              " pairs INTEGER NOT NULL)");
    m_db.exec("INSERT OR IGNORE INTO pair_stats (id, pairs) VALUES (1, 0)");
    // The last successful login of each account from each client address.
    m_db.exec("CREATE TABLE IF NOT EXISTS client_logins ("
              " user_id INTEGER NOT NULL,"
              " address TEXT NOT NULL,"
              " at INTEGER NOT NULL,"
              " PRIMARY KEY (user_id, address))");
    m_db.exec("CREATE INDEX IF NOT EXISTS client_logins_at ON client_logins (at)");
    m_db.exec("CREATE TABLE IF NOT EXISTS share_days ("
              " user_id INTEGER NOT NULL,"
              " day TEXT NOT NULL,"
              " shares INTEGER NOT NULL,"
              " PRIMARY KEY (user_id, day))");
    m_db.exec("CREATE TABLE IF NOT EXISTS share_network_days ("
              " network TEXT NOT NULL,"
              " day TEXT NOT NULL,"
              " shares INTEGER NOT NULL,"
              " PRIMARY KEY (network, day))");
    // Each pair an account has paid for, so that paying twice is impossible.
    m_db.exec("CREATE TABLE IF NOT EXISTS downloads ("
              " user_id INTEGER NOT NULL,"
              " pair_key TEXT NOT NULL,"
              " PRIMARY KEY (user_id, pair_key))");
    m_db.exec("CREATE TABLE IF NOT EXISTS throttle_events ("
              " key TEXT NOT NULL,"
              " at INTEGER NOT NULL,"
              " weight INTEGER NOT NULL DEFAULT 1)");
    m_db.exec("CREATE INDEX IF NOT EXISTS throttle_events_key ON throttle_events (key, at)");
    m_db.exec("CREATE INDEX IF NOT EXISTS throttle_events_at ON throttle_events (at)");
    // The content comes last so that listing and counting read only the
    // small columns before it.
    m_db.exec("CREATE TABLE IF NOT EXISTS posts ("
              " seq INTEGER PRIMARY KEY AUTOINCREMENT,"
              " received TEXT NOT NULL DEFAULT (datetime('now')),"
              " post_id TEXT NOT NULL,"
              " body_bytes INTEGER NOT NULL,"
              " stored_bytes INTEGER NOT NULL,"
              " remote TEXT NOT NULL,"
              " preview TEXT NOT NULL,"
              " content BLOB NOT NULL)");
}

// Columns that tables of earlier layouts lack.
void SqliteStorage::addMissingColumns() {
    struct Column {
        const char *table, *name, *definition;
    };
    static const Column columns[] = {
        {"accounts", "disabled", "INTEGER NOT NULL DEFAULT 0"},
        {"accounts", "share_banned", "INTEGER NOT NULL DEFAULT 0"},
        {"accounts", "token_key", "TEXT NOT NULL DEFAULT ''"},
        {"shared_pairs", "pos", "INTEGER"},
        {"throttle_events", "weight", "INTEGER NOT NULL DEFAULT 1"},
    };
    for (const auto& c : columns)
        if (!hasColumn(m_db, c.table, c.name))
            m_db.exec(std::string("ALTER TABLE ") + c.table + " ADD COLUMN " + c.name + " " +
                      c.definition);
    m_db.exec("CREATE INDEX IF NOT EXISTS shared_pairs_pos ON shared_pairs (pos)");
    m_db.exec("CREATE INDEX IF NOT EXISTS shared_pairs_sharer ON shared_pairs (sharer)");
}

void SqliteStorage::seedStarterPairs() {
    Statement ins(m_db, "INSERT OR IGNORE INTO shared_pairs (ow, nw, sharer) VALUES (?1, ?2, ?3)");
    for (const auto& [ow, nw] : starterPairs()) {
        ins.bind(1, ow).bind(2, nw).bind(3, kStarterSharer);
        ins.run();
    }
}

// Numbers every pair anew: the starter pairs first (the oldest), then the
// shared ones in the order they came.
void SqliteStorage::numberAllPairs() {
    Statement number(
        m_db, "WITH r AS (SELECT net_id, ROW_NUMBER() OVER"
              " (ORDER BY sharer <> ?1, net_id) AS rn FROM shared_pairs)"
              " UPDATE shared_pairs SET pos = r.rn FROM r WHERE shared_pairs.net_id = r.net_id");
    number.bind(1, kStarterSharer);
    number.run();
    m_db.exec("UPDATE pair_stats SET pairs = (SELECT COUNT(*) FROM shared_pairs) WHERE id = 1");
}

// Closes the gaps that deleted pairs left at `pos` and after.
void SqliteStorage::renumberPairsFrom(std::int64_t pos) {
    Statement number(m_db,
                     "WITH r AS (SELECT net_id, ROW_NUMBER() OVER (ORDER BY pos) AS rn"
                     " FROM shared_pairs WHERE pos >= ?1)"
                     " UPDATE shared_pairs SET pos = r.rn + ?1 - 1 FROM r"
                     " WHERE shared_pairs.net_id = r.net_id AND shared_pairs.pos <> r.rn + ?1 - 1");
    number.bind(1, pos);
    number.run();
}

// Files of the first versions kept each post twice (decoded text and raw body);
// their posts move to the new table with the decoded text as content.
void SqliteStorage::migratePosts() {
    {
        // Finished before the tables change: SQLite refuses to drop a table
        // while a statement is still reading the schema ("table is locked").
        Statement old(m_db,
                      "SELECT COUNT(*) FROM pragma_table_info('posts') WHERE name = 'raw_body'");
        old.step();
        if (old.int64(0) == 0) return;
    }
    Transaction tx(m_db);
    m_db.exec("ALTER TABLE posts RENAME TO posts_before_upgrade");
    createSchema();
    m_db.exec("INSERT INTO posts (seq, received, post_id, body_bytes, stored_bytes, remote,"
              " preview, content)"
              " SELECT seq, received, post_id, length(raw_body), length(CAST(content AS BLOB)),"
              " remote, substr(content, 1, 600), CAST(content AS BLOB)"
              " FROM posts_before_upgrade");
    m_db.exec("DROP TABLE posts_before_upgrade");
    tx.commit();
}

void SqliteStorage::ping() {
    locked([&] {
        Statement st(m_db, "SELECT pairs FROM pair_stats WHERE id = 1");
        st.step();
    });
}

void SqliteStorage::backup(const std::string& path) {
    // The copy is made owner-only before anything is written into it.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) throw DbError("cannot create " + path + " (it must not exist yet)");
    ::close(fd);
    SqliteDb target = SqliteDb::openExisting(path);
    // Pages are copied in steps, each under the lock, so requests go on
    // between them; a write in between makes SQLite start the copy again.
    sqlite3_backup* copy = sqlite3_backup_init(target.handle(), "main", m_db.handle(), "main");
    if (!copy) target.fail("backup");
    int rc = SQLITE_OK;
    for (;;) {
        {
            Guard guard(*this);
            rc = sqlite3_backup_step(copy, 256);
        }
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
            std::this_thread::sleep_for(std::chrono::milliseconds(5)); // another process writes
        else if (rc != SQLITE_OK)
            break;
    }
    sqlite3_backup_finish(copy);
    if (rc != SQLITE_DONE) target.fail("backup");
    // A backup is a file of its own: no write-ahead log beside it.
    target.exec("PRAGMA journal_mode=DELETE");
}

} // namespace wycserver
