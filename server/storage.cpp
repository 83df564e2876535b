#include "storage.h"

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

} // namespace

Storage::Storage(const std::string& path, bool starterPairs) : m_db(SqliteDb::openOrCreate(path)) {
    m_db.exec("PRAGMA journal_mode=WAL");
    m_db.exec("PRAGMA synchronous=NORMAL");
    Statement check(m_db, "SELECT COUNT(*) FROM sqlite_master WHERE name='shared_pairs'");
    check.step();
    const bool isNew = check.int64(0) == 0;
    createSchema();
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
    m_db.exec("CREATE TABLE IF NOT EXISTS posts ("
              " seq INTEGER PRIMARY KEY AUTOINCREMENT,"
              " received TEXT NOT NULL DEFAULT (datetime('now')),"
              " post_id TEXT NOT NULL,"
              " content TEXT NOT NULL,"
              " raw_body BLOB NOT NULL,"
              " remote TEXT NOT NULL)");
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
                               std::int64_t reward, std::int64_t& balance) {
    std::lock_guard lock(m_mutex);
    Transaction tx(m_db);
    Statement user(m_db, "SELECT points FROM accounts WHERE id = ?1");
    user.bind(1, userId);
    if (!user.step()) return ShareResult::UnknownUser;
    balance = user.int64(0);
    Statement dup(m_db, "SELECT 1 FROM shared_pairs WHERE ow = ?1 AND nw = ?2");
    dup.bind(1, ow).bind(2, nw);
    if (dup.step()) return ShareResult::Duplicate;
    Statement ins(m_db, "INSERT INTO shared_pairs (ow, nw, sharer) VALUES (?1, ?2, ?3)");
    ins.bind(1, ow).bind(2, nw).bind(3, userId);
    ins.run();
    Statement add(m_db, "UPDATE accounts SET points = points + ?1 WHERE id = ?2");
    add.bind(1, reward).bind(2, userId);
    add.run();
    tx.commit();
    balance += reward;
    return ShareResult::Accepted;
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

void Storage::addPost(const std::string& id, const std::string& content, const std::string& rawBody,
                      const std::string& remote) {
    std::lock_guard lock(m_mutex);
    Transaction tx(m_db);
    // The raw body is kept byte for byte: bound as text, stored as a blob.
    Statement ins(m_db, "INSERT INTO posts (post_id, content, raw_body, remote)"
                        " VALUES (?1, ?2, CAST(?3 AS BLOB), ?4)");
    ins.bind(1, id).bind(2, content).bind(3, rawBody).bind(4, remote);
    ins.run();
    Statement trim(m_db, "DELETE FROM posts WHERE seq <= (SELECT MAX(seq) FROM posts) - ?1");
    trim.bind(1, std::int64_t{kKeptPosts});
    trim.run();
    tx.commit();
}

std::vector<StoredPost> Storage::latestPosts(int limit) {
    std::lock_guard lock(m_mutex);
    Statement st(m_db, "SELECT seq, received, post_id, content, length(raw_body), remote"
                       " FROM posts ORDER BY seq DESC LIMIT ?1");
    st.bind(1, std::int64_t{limit});
    std::vector<StoredPost> out;
    while (st.step())
        out.push_back({st.int64(0), st.text(1), st.text(2), st.text(3), st.int64(4), st.text(5)});
    return out;
}

} // namespace wycserver
