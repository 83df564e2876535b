#include "sqlite_storage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wycserver {

namespace {

constexpr const char* kAccountColumns = "id, name, points, password_hash, recovery_hash";

// Takes group and other permissions away from a file, if it exists.
void restrictToOwner(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && (st.st_mode & 077))
        ::chmod(path.c_str(), st.st_mode & 0700);
}

// SQLite gives its journal files the permissions of the database file, so a
// file created owner-only here keeps every file of the store owner-only.
SqliteDb openOwnerOnly(const std::string& path) {
    if (!path.empty() && path != ":memory:") {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) ::close(fd);
        for (const char* suffix : {"", "-wal", "-shm", "-journal"})
            restrictToOwner(path + suffix);
    }
    return SqliteDb::openOrCreate(path);
}

bool hasTable(SqliteDb& db, const char* name) {
    Statement st(db, "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = ?1");
    st.bind(1, name);
    st.step();
    return st.int64(0) != 0;
}

} // namespace

SqliteStorage::SqliteStorage(const std::string& path, bool starterPairs, std::int64_t keptPostBytes)
    : m_db(openOwnerOnly(path)), m_keptPostBytes(keptPostBytes) {
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
    const bool isNew = version == 0;
    createSchema();
    migratePosts();
    if (version != kSchemaVersion) {
        Transaction tx(m_db);
        m_db.exec("DELETE FROM schema_version");
        Statement put(m_db, "INSERT INTO schema_version (version) VALUES (?1)");
        put.bind(1, kSchemaVersion);
        put.run();
        tx.commit();
    }
    if (isNew && starterPairs) addStarterPairs();
}

void SqliteStorage::createSchema() {
    m_db.exec("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
    m_db.exec("CREATE TABLE IF NOT EXISTS accounts ("
              " id INTEGER PRIMARY KEY,"
              " name TEXT NOT NULL UNIQUE,"
              " password_hash TEXT NOT NULL,"
              " recovery_hash TEXT NOT NULL,"
              " points INTEGER NOT NULL CHECK (points >= 0),"
              " created TEXT NOT NULL DEFAULT (datetime('now')))");
    m_db.exec("CREATE TABLE IF NOT EXISTS shared_pairs ("
              " net_id INTEGER PRIMARY KEY AUTOINCREMENT,"
              " ow TEXT NOT NULL,"
              " nw TEXT NOT NULL,"
              " sharer INTEGER NOT NULL,"
              " created TEXT NOT NULL DEFAULT (datetime('now')),"
              " UNIQUE (ow, nw))");
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
    // Each pair an account has paid for, so that paying twice is impossible.
    m_db.exec("CREATE TABLE IF NOT EXISTS downloads ("
              " user_id INTEGER NOT NULL,"
              " pair_key TEXT NOT NULL,"
              " PRIMARY KEY (user_id, pair_key))");
    m_db.exec("CREATE TABLE IF NOT EXISTS throttle_events ("
              " key TEXT NOT NULL,"
              " at INTEGER NOT NULL)");
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

void SqliteStorage::addStarterPairs() {
    Transaction tx(m_db);
    Statement ins(m_db, "INSERT OR IGNORE INTO shared_pairs (ow, nw, sharer) VALUES (?1, ?2, ?3)");
    for (const auto& [ow, nw] : starterPairs()) {
        ins.bind(1, ow).bind(2, nw).bind(3, kStarterSharer);
        ins.run();
    }
    tx.commit();
}

std::optional<Account> SqliteStorage::readAccount(Statement& st) {
    if (!st.step()) return std::nullopt;
    Account a;
    a.id = st.int64(0);
    a.name = st.text(1);
    a.points = st.int64(2);
    a.passwordHash = st.text(3);
    a.recoveryHash = st.text(4);
    return a;
}

std::optional<Account> SqliteStorage::createAccount(const std::string& name,
                                                    const std::string& passwordHash,
                                                    const std::string& recoveryHash) {
    std::lock_guard lock(m_mutex);
    Transaction tx(m_db);
    Statement exists(m_db, "SELECT 1 FROM accounts WHERE name = ?1");
    exists.bind(1, name);
    if (exists.step()) return std::nullopt;
    Statement ins(m_db, "INSERT INTO accounts (id, name, password_hash, recovery_hash, points)"
                        " VALUES ((SELECT MAX(IFNULL(MAX(id), 0) + 1, ?5) FROM accounts),"
                        " ?1, ?2, ?3, ?4)");
    ins.bind(1, name).bind(2, passwordHash).bind(3, recoveryHash).bind(4, kStartPoints);
    ins.bind(5, kFirstUserId);
    ins.run();
    const std::int64_t id = m_db.lastInsertId();
    tx.commit();
    return Account{id, name, kStartPoints, passwordHash, recoveryHash};
}

std::optional<Account> SqliteStorage::findAccount(const std::string& name) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, std::string("SELECT ") + kAccountColumns + " FROM accounts WHERE name = ?1");
    st.bind(1, name);
    return readAccount(st);
}

std::optional<Account> SqliteStorage::findAccount(std::int64_t id) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, std::string("SELECT ") + kAccountColumns + " FROM accounts WHERE id = ?1");
    st.bind(1, id);
    return readAccount(st);
}

void SqliteStorage::setPassword(std::int64_t id, const std::string& passwordHash,
                                const std::string& recoveryHash) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, "UPDATE accounts SET password_hash = ?1, recovery_hash = ?2 WHERE id = ?3");
    st.bind(1, passwordHash).bind(2, recoveryHash).bind(3, id);
    st.run();
}

bool SqliteStorage::replacePasswordHash(std::int64_t id, const std::string& oldHash,
                                        const std::string& newHash) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db,
                 "UPDATE accounts SET password_hash = ?1 WHERE id = ?2 AND password_hash = ?3");
    st.bind(1, newHash).bind(2, id).bind(3, oldHash);
    st.run();
    return m_db.changes() == 1;
}

std::int64_t SqliteStorage::pointsOf(std::int64_t userId, bool& found) {
    Statement get(m_db, "SELECT points FROM accounts WHERE id = ?1");
    get.bind(1, userId);
    found = get.step();
    return found ? get.int64(0) : 0;
}

DownloadResult SqliteStorage::chargeDownload(std::int64_t userId, const std::string& ow,
                                             const std::string& nw, std::int64_t price,
                                             std::int64_t& balance) {
    std::lock_guard lock(m_mutex);
    bool found = false;
    {
        Transaction tx(m_db);
        Statement paid(m_db, "INSERT OR IGNORE INTO downloads (user_id, pair_key) VALUES (?1, ?2)");
        paid.bind(1, userId).bind(2, pairKey(ow, nw));
        paid.run();
        if (m_db.changes() == 0) {
            balance = pointsOf(userId, found);
            return found ? DownloadResult::AlreadyPaid : DownloadResult::UnknownUser;
        }
        Statement take(m_db, "UPDATE accounts SET points = points - ?1"
                             " WHERE id = ?2 AND points >= ?1 RETURNING points");
        take.bind(1, price).bind(2, userId);
        if (take.step()) {
            balance = take.int64(0);
            take.reset();
            tx.commit();
            return DownloadResult::Charged;
        }
    } // rolled back: the pair stays unpaid
    balance = pointsOf(userId, found);
    return found ? DownloadResult::NoPoints : DownloadResult::UnknownUser;
}

ShareResult SqliteStorage::sharePair(std::int64_t userId, const std::string& ow,
                                     const std::string& nw, std::int64_t reward,
                                     const std::string& day, std::int64_t dailyLimit,
                                     std::int64_t& balance) {
    std::lock_guard lock(m_mutex);
    Transaction tx(m_db);
    bool found = false;
    balance = pointsOf(userId, found);
    if (!found) return ShareResult::UnknownUser;
    Statement dup(m_db, "SELECT 1 FROM shared_pairs WHERE ow = ?1 AND nw = ?2");
    dup.bind(1, ow).bind(2, nw);
    if (dup.step()) return ShareResult::Duplicate;
    Statement today(m_db, "SELECT shares FROM share_days WHERE user_id = ?1 AND day = ?2");
    today.bind(1, userId).bind(2, day);
    if (today.step() && today.int64(0) >= dailyLimit) return ShareResult::DailyLimit;
    Statement ins(m_db, "INSERT INTO shared_pairs (ow, nw, sharer) VALUES (?1, ?2, ?3)");
    ins.bind(1, ow).bind(2, nw).bind(3, userId);
    ins.run();
    Statement add(m_db, "UPDATE accounts SET points = points + ?1 WHERE id = ?2");
    add.bind(1, reward).bind(2, userId);
    add.run();
    Statement count(m_db, "INSERT INTO share_days (user_id, day, shares) VALUES (?1, ?2, 1)"
                          " ON CONFLICT (user_id, day) DO UPDATE SET shares = shares + 1");
    count.bind(1, userId).bind(2, day);
    count.run();
    Statement old(m_db, "DELETE FROM share_days WHERE day < ?1");
    old.bind(1, day);
    old.run();
    dup.reset();
    today.reset();
    tx.commit();
    balance += reward;
    return ShareResult::Accepted;
}

void SqliteStorage::recordLogin(std::int64_t userId, const std::string& address, std::int64_t now,
                                std::int64_t forgetBefore) {
    std::lock_guard lock(m_mutex);
    Transaction tx(m_db);
    Statement put(m_db, "INSERT INTO client_logins (user_id, address, at) VALUES (?1, ?2, ?3)"
                        " ON CONFLICT (user_id, address) DO UPDATE SET at = MAX(at, ?3)");
    put.bind(1, userId).bind(2, address).bind(3, now);
    put.run();
    Statement old(m_db, "DELETE FROM client_logins WHERE at < ?1");
    old.bind(1, forgetBefore);
    old.run();
    tx.commit();
}

bool SqliteStorage::loggedInFrom(std::int64_t userId, const std::string& address,
                                 std::int64_t since) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, "SELECT 1 FROM client_logins WHERE user_id = ?1 AND address = ?2"
                       " AND at >= ?3");
    st.bind(1, userId).bind(2, address).bind(3, since);
    return st.step();
}

std::int64_t SqliteStorage::countEvents(const std::string& key, std::int64_t since) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, "SELECT COUNT(*) FROM throttle_events WHERE key = ?1 AND at >= ?2");
    st.bind(1, key).bind(2, since);
    st.step();
    return st.int64(0);
}

bool SqliteStorage::addEventBelow(const std::string& key, std::int64_t at, std::int64_t since,
                                  std::int64_t limit, std::int64_t forgetBefore) {
    std::lock_guard lock(m_mutex);
    Transaction tx(m_db);
    {
        Statement old(m_db, "DELETE FROM throttle_events WHERE at < ?1");
        old.bind(1, forgetBefore);
        old.run();
    }
    Statement ins(m_db, "INSERT INTO throttle_events (key, at) SELECT ?1, ?2"
                        " WHERE (SELECT COUNT(*) FROM throttle_events"
                        " WHERE key = ?1 AND at >= ?3) < ?4");
    ins.bind(1, key).bind(2, at).bind(3, since).bind(4, limit);
    ins.run();
    const bool added = m_db.changes() == 1;
    tx.commit();
    return added;
}

void SqliteStorage::clearEvents(const std::string& key) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, "DELETE FROM throttle_events WHERE key = ?1");
    st.bind(1, key);
    st.run();
}

std::int64_t SqliteStorage::pairCount() {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, "SELECT COUNT(*) FROM shared_pairs");
    st.step();
    return st.int64(0);
}

std::vector<SharedPair> SqliteStorage::pairs(std::int64_t offset, std::int64_t limit) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, "SELECT net_id, ow, nw, sharer FROM shared_pairs"
                       " ORDER BY net_id DESC LIMIT ?1 OFFSET ?2");
    st.bind(1, limit).bind(2, offset);
    std::vector<SharedPair> out;
    while (st.step())
        out.push_back({st.int64(0), st.text(1), st.text(2), st.int64(3)});
    return out;
}

void SqliteStorage::addPost(const std::string& id, const std::string& content,
                            const std::string& preview, std::int64_t bodyBytes,
                            const std::string& remote) {
    const auto stored = static_cast<std::int64_t>(id.size() + preview.size() + content.size());
    std::lock_guard lock(m_mutex);
    Transaction tx(m_db);
    // The content is kept byte for byte: bound as text, stored as a blob.
    Statement ins(m_db, "INSERT INTO posts (post_id, body_bytes, stored_bytes, remote, preview,"
                        " content) VALUES (?1, ?2, ?3, ?4, ?5, CAST(?6 AS BLOB))");
    ins.bind(1, id).bind(2, bodyBytes).bind(3, stored).bind(4, remote).bind(5, preview);
    ins.bind(6, content);
    ins.run();
    Statement byCount(m_db, "DELETE FROM posts WHERE seq <= (SELECT MAX(seq) FROM posts) - ?1");
    byCount.bind(1, std::int64_t{kKeptPosts});
    byCount.run();
    Statement byBytes(m_db, "DELETE FROM posts WHERE seq IN (SELECT seq FROM"
                            " (SELECT seq, SUM(stored_bytes) OVER (ORDER BY seq DESC) AS total"
                            " FROM posts) WHERE total > ?1)"
                            " AND seq < (SELECT MAX(seq) FROM posts)");
    byBytes.bind(1, m_keptPostBytes);
    byBytes.run();
    tx.commit();
}

std::vector<StoredPost> SqliteStorage::latestPosts(int limit) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, "SELECT seq, received, post_id, preview, body_bytes, remote"
                       " FROM posts ORDER BY seq DESC LIMIT ?1");
    st.bind(1, std::int64_t{limit});
    std::vector<StoredPost> out;
    while (st.step())
        out.push_back({st.int64(0), st.text(1), st.text(2), st.text(3), st.int64(4), st.text(5)});
    return out;
}

std::optional<std::string> SqliteStorage::postContent(std::int64_t seq) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, "SELECT content FROM posts WHERE seq = ?1");
    st.bind(1, seq);
    if (!st.step()) return std::nullopt;
    return st.text(0);
}

} // namespace wycserver
