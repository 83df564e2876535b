#include "storage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace wycserver {

namespace {

// Shared by the server itself when a data file is new, so that browsing the
// network thesaurus shows something before anyone has shared.
const std::pair<const char*, const char*> kStarterPairs[] = {
    {"美丽", "漂亮"}, {"迅速", "快速"}, {"非常", "十分"}, {"重要", "关键"}, {"方法", "办法"},
    {"开始", "着手"}, {"因为", "由于"}, {"但是", "不过"}, {"已经", "早已"}, {"帮助", "协助"},
    {"提高", "提升"}, {"问题", "难题"}, {"目前", "眼下"}, {"特别", "尤其"}, {"经常", "常常"},
    {"喜欢", "喜爱"}, {"简单", "简易"}, {"优秀", "出色"}, {"努力", "尽力"}, {"立刻", "马上"},
    {"突然", "忽然"}, {"安静", "宁静"}, {"清楚", "明白"}, {"仔细", "细心"}, {"注意", "留意"},
    {"希望", "期望"}, {"建立", "创建"}, {"选择", "挑选"}, {"完成", "达成"}, {"明显", "显著"},
    {"改变", "转变"}, {"保护", "维护"}, {"获得", "取得"}, {"观看", "观赏"}, {"寻找", "寻觅"},
};

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

} // namespace

Storage::Storage(const std::string& path, bool starterPairs, std::int64_t keptPostBytes)
    : m_db(openOwnerOnly(path)), m_keptPostBytes(keptPostBytes) {
    m_db.exec("PRAGMA journal_mode=WAL");
    m_db.exec("PRAGMA synchronous=NORMAL");
    Statement check(m_db, "SELECT COUNT(*) FROM sqlite_master WHERE name='shared_pairs'");
    check.step();
    const bool isNew = check.int64(0) == 0;
    createSchema();
    migratePosts();
    if (isNew && starterPairs) addStarterPairs();
}

void Storage::createSchema() {
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

// Files of earlier versions kept each post twice (decoded text and raw body);
// their posts move to the new table with the decoded text as content.
void Storage::migratePosts() {
    Statement old(m_db, "SELECT COUNT(*) FROM pragma_table_info('posts') WHERE name = 'raw_body'");
    old.step();
    if (old.int64(0) == 0) return;
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

void Storage::addStarterPairs() {
    Transaction tx(m_db);
    Statement ins(m_db, "INSERT OR IGNORE INTO shared_pairs (ow, nw, sharer) VALUES (?1, ?2, ?3)");
    for (const auto& [ow, nw] : kStarterPairs) {
        ins.bind(1, ow).bind(2, nw).bind(3, kStarterSharer);
        ins.run();
    }
    tx.commit();
}

std::optional<Account> Storage::readAccount(Statement& st) {
    if (!st.step()) return std::nullopt;
    Account a;
    a.id = st.int64(0);
    a.name = st.text(1);
    a.points = st.int64(2);
    a.passwordHash = st.text(3);
    a.recoveryHash = st.text(4);
    return a;
}

std::optional<Account> Storage::createAccount(const std::string& name,
                                              const std::string& passwordHash,
                                              const std::string& recoveryHash) {
    std::lock_guard lock(m_mutex);
    Transaction tx(m_db);
    Statement exists(m_db, "SELECT 1 FROM accounts WHERE name = ?1");
    exists.bind(1, name);
    if (exists.step()) return std::nullopt;
    // Ids start above the values the desktop program sends before a login ("9")
    // and after a refused one ("0"), so those never name a real account.
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

std::optional<Account> Storage::findAccount(const std::string& name) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, std::string("SELECT ") + kAccountColumns + " FROM accounts WHERE name = ?1");
    st.bind(1, name);
    return readAccount(st);
}

std::optional<Account> Storage::findAccount(std::int64_t id) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, std::string("SELECT ") + kAccountColumns + " FROM accounts WHERE id = ?1");
    st.bind(1, id);
    return readAccount(st);
}

void Storage::setPassword(std::int64_t id, const std::string& passwordHash,
                          const std::string& recoveryHash) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, "UPDATE accounts SET password_hash = ?1, recovery_hash = ?2 WHERE id = ?3");
    st.bind(1, passwordHash).bind(2, recoveryHash).bind(3, id);
    st.run();
}

bool Storage::replacePasswordHash(std::int64_t id, const std::string& oldHash,
                                  const std::string& newHash) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db,
                 "UPDATE accounts SET password_hash = ?1 WHERE id = ?2 AND password_hash = ?3");
    st.bind(1, newHash).bind(2, id).bind(3, oldHash);
    st.run();
    return m_db.changes() == 1;
}

SpendResult Storage::spendPoint(std::int64_t userId, std::int64_t& balance) {
    std::lock_guard lock(m_mutex);
    Transaction tx(m_db);
    Statement upd(m_db, "UPDATE accounts SET points = points - 1 WHERE id = ?1 AND points > 0");
    upd.bind(1, userId);
    upd.run();
    const bool spent = m_db.changes() == 1;
    Statement get(m_db, "SELECT points FROM accounts WHERE id = ?1");
    get.bind(1, userId);
    if (!get.step()) return SpendResult::UnknownUser;
    balance = get.int64(0);
    tx.commit();
    return spent ? SpendResult::Spent : SpendResult::NoPoints;
}

ShareResult Storage::sharePair(std::int64_t userId, const std::string& ow, const std::string& nw,
                               std::int64_t reward, const std::string& day, std::int64_t dailyLimit,
                               std::int64_t& balance) {
    std::lock_guard lock(m_mutex);
    Transaction tx(m_db);
    Statement user(m_db, "SELECT points FROM accounts WHERE id = ?1");
    user.bind(1, userId);
    if (!user.step()) return ShareResult::UnknownUser;
    balance = user.int64(0);
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
    tx.commit();
    balance += reward;
    return ShareResult::Accepted;
}

void Storage::recordLogin(std::int64_t userId, const std::string& address, std::int64_t now,
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

bool Storage::loggedInFrom(std::int64_t userId, const std::string& address, std::int64_t since) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, "SELECT 1 FROM client_logins WHERE user_id = ?1 AND address = ?2"
                       " AND at >= ?3");
    st.bind(1, userId).bind(2, address).bind(3, since);
    return st.step();
}

std::int64_t Storage::pairCount() {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, "SELECT COUNT(*) FROM shared_pairs");
    st.step();
    return st.int64(0);
}

std::vector<SharedPair> Storage::pairs(std::int64_t offset, std::int64_t limit) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, "SELECT net_id, ow, nw, sharer FROM shared_pairs"
                       " ORDER BY net_id DESC LIMIT ?1 OFFSET ?2");
    st.bind(1, limit).bind(2, offset);
    std::vector<SharedPair> out;
    while (st.step())
        out.push_back({st.int64(0), st.text(1), st.text(2), st.int64(3)});
    return out;
}

void Storage::addPost(const std::string& id, const std::string& content, const std::string& preview,
                      std::int64_t bodyBytes, const std::string& remote) {
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

std::vector<StoredPost> Storage::latestPosts(int limit) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, "SELECT seq, received, post_id, preview, body_bytes, remote"
                       " FROM posts ORDER BY seq DESC LIMIT ?1");
    st.bind(1, std::int64_t{limit});
    std::vector<StoredPost> out;
    while (st.step())
        out.push_back({st.int64(0), st.text(1), st.text(2), st.text(3), st.int64(4), st.text(5)});
    return out;
}

std::optional<std::string> Storage::postContent(std::int64_t seq) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, "SELECT content FROM posts WHERE seq = ?1");
    st.bind(1, seq);
    if (!st.step()) return std::nullopt;
    return st.text(0);
}

} // namespace wycserver
