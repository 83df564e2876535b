// PgStorage: accounts, points and their ledger, logins and tokens, and the
// throttle events.
#include "pg_storage.h"

#include "login_token.h"

namespace wycserver {

namespace {

constexpr const char* kAccountColumns =
    "id, name, points, password_hash, recovery_hash, disabled, share_banned, token_key";

std::optional<Account> accountFrom(const PgResult& r) {
    if (r.empty()) return std::nullopt;
    Account a{r.int64(0, 0), r.text(0, 1), r.int64(0, 2), r.text(0, 3), r.text(0, 4)};
    a.disabled = r.int64(0, 5) != 0;
    a.shareBanned = r.int64(0, 6) != 0;
    a.tokenKey = r.text(0, 7);
    return a;
}

// PostgreSQL texts cannot hold NUL, so no stored name or word holds one: a
// text that does names nothing there.
bool hasNul(const std::string& text) {
    return text.find('\0') != std::string::npos;
}

void addLedger(PgConnection& conn, std::int64_t userId, std::int64_t change, const char* reason,
               const std::string& request) {
    conn.exec("INSERT INTO ledger (user_id, change, reason, request) VALUES ($1, $2, $3, $4)",
              {userId, change, reason, request});
}

} // namespace

std::optional<Account> PgStorage::createAccount(const std::string& name,
                                                const std::string& passwordHash,
                                                const std::string& recoveryHash,
                                                const std::string& request) {
    auto conn = m_pool.lease();
    PgTransaction tx(*conn);
    const std::string key = newTokenKey();
    const auto r = conn->exec("INSERT INTO accounts (name, password_hash, recovery_hash, points,"
                              " token_key) VALUES ($1, $2, $3, $4, $5)"
                              " ON CONFLICT (name) DO NOTHING RETURNING id",
                              {name, passwordHash, recoveryHash, kStartPoints, key});
    if (r.empty()) return std::nullopt;
    addLedger(*conn, r.int64(0, 0), kStartPoints, ledger::kSignUp, request);
    tx.commit();
    Account created{r.int64(0, 0), name, kStartPoints, passwordHash, recoveryHash};
    created.tokenKey = key;
    return created;
}

std::optional<Account> PgStorage::findAccount(const std::string& name) {
    if (hasNul(name)) return std::nullopt;
    auto conn = m_pool.lease();
    return accountFrom(conn->exec(
        std::string("SELECT ") + kAccountColumns + " FROM accounts WHERE name = $1", {name}));
}

std::optional<Account> PgStorage::findAccount(std::int64_t id) {
    auto conn = m_pool.lease();
    return accountFrom(conn->exec(
        std::string("SELECT ") + kAccountColumns + " FROM accounts WHERE id = $1", {id}));
}

void PgStorage::setPassword(std::int64_t id, const std::string& passwordHash,
                            const std::string& recoveryHash) {
    auto conn = m_pool.lease();
    conn->exec("UPDATE accounts SET password_hash = $1, recovery_hash = $2, token_key = $4"
               " WHERE id = $3",
               {passwordHash, recoveryHash, id, newTokenKey()});
}

bool PgStorage::replacePasswordHash(std::int64_t id, const std::string& oldHash,
                                    const std::string& newHash) {
    auto conn = m_pool.lease();
    return conn->exec("UPDATE accounts SET password_hash = $1 WHERE id = $2"
                      " AND password_hash = $3",
                      {newHash, id, oldHash})
               .affected() == 1;
}

bool PgStorage::setDisabled(std::int64_t id, bool disabled) {
    auto conn = m_pool.lease();
    PgTransaction tx(*conn);
    const bool found =
        conn->exec("UPDATE accounts SET disabled = $1,"
                   " token_key = CASE WHEN $1::bigint <> 0 THEN $3 ELSE token_key END"
                   " WHERE id = $2",
                   {std::int64_t{disabled}, id, newTokenKey()})
            .affected() == 1;
    if (disabled) conn->exec("DELETE FROM client_logins WHERE user_id = $1", {id});
    tx.commit();
    return found;
}

bool PgStorage::setShareBanned(std::int64_t id, bool banned) {
    auto conn = m_pool.lease();
    return conn->exec("UPDATE accounts SET share_banned = $1 WHERE id = $2",
                      {std::int64_t{banned}, id})
               .affected() == 1;
}

AdjustResult PgStorage::adjustPoints(std::int64_t id, std::int64_t change,
                                     const std::string& reason, const std::string& request,
                                     std::int64_t& balance) {
    auto conn = m_pool.lease();
    PgTransaction tx(*conn);
    const auto took = conn->exec("UPDATE accounts SET points = points + $1"
                                 " WHERE id = $2 AND points + $1 >= 0 RETURNING points",
                                 {change, id});
    if (took.empty()) {
        const auto r = conn->exec("SELECT points FROM accounts WHERE id = $1", {id});
        if (r.empty()) return AdjustResult::UnknownUser;
        balance = r.int64(0, 0);
        return AdjustResult::NotEnoughPoints;
    }
    balance = took.int64(0, 0);
    addLedger(*conn, id, change, reason.c_str(), request);
    tx.commit();
    return AdjustResult::Done;
}

std::vector<LedgerEntry> PgStorage::ledger(std::int64_t id) {
    auto conn = m_pool.lease();
    const auto r = conn->exec("SELECT seq, at, user_id, change, reason, request FROM ledger"
                              " WHERE user_id = $1 ORDER BY seq",
                              {id});
    std::vector<LedgerEntry> out;
    for (int i = 0; i < r.rows(); ++i)
        out.push_back({r.int64(i, 0), r.text(i, 1), r.int64(i, 2), r.int64(i, 3), r.text(i, 4),
                       r.text(i, 5)});
    return out;
}

DownloadResult PgStorage::chargeDownload(std::int64_t userId, const std::string& ow,
                                         const std::string& nw, std::int64_t price,
                                         const std::string& request, std::int64_t& balance) {
    auto conn = m_pool.lease();
    auto pointsNow = [&](DownloadResult known) {
        const auto r = conn->exec("SELECT points FROM accounts WHERE id = $1", {userId});
        if (r.empty()) return DownloadResult::UnknownUser;
        balance = r.int64(0, 0);
        return known;
    };
    if (hasNul(ow) || hasNul(nw)) return pointsNow(DownloadResult::NotShared);
    {
        PgTransaction tx(*conn);
        if (conn->exec("SELECT 1 FROM shared_pairs WHERE ow = $1 AND nw = $2", {ow, nw}).empty()) {
            tx.commit();
            return pointsNow(DownloadResult::NotShared);
        }
        // A second request for the same pair waits on the first one's row and
        // then finds it: it pays only if the first one was rolled back.
        const auto paid = conn->exec("INSERT INTO downloads (user_id, pair_key) VALUES ($1, $2)"
                                     " ON CONFLICT DO NOTHING",
                                     {userId, pairKey(ow, nw)});
        if (paid.affected() == 0) {
            tx.commit();
            return pointsNow(DownloadResult::AlreadyPaid);
        }
        const auto took = conn->exec("UPDATE accounts SET points = points - $1"
                                     " WHERE id = $2 AND points >= $1 RETURNING points",
                                     {price, userId});
        if (!took.empty()) {
            addLedger(*conn, userId, -price, ledger::kDownload, request);
            tx.commit();
            balance = took.int64(0, 0);
            return DownloadResult::Charged;
        }
    } // rolled back: the pair stays unpaid
    return pointsNow(DownloadResult::NoPoints);
}

ShareResult PgStorage::sharePair(const ShareRequest& s, std::int64_t& balance) {
    auto conn = m_pool.lease();
    PgTransaction tx(*conn);
    const auto user =
        conn->exec("SELECT points, share_banned FROM accounts WHERE id = $1", {s.userId});
    if (user.empty()) return ShareResult::UnknownUser;
    balance = user.int64(0, 0);
    if (user.int64(0, 1) != 0) return ShareResult::Banned;
    // The counter row orders every change of numbering: the new pair takes the
    // next position. The pair and the day's counters are each claimed in one
    // statement, so two processes can neither reward one pair twice nor pass
    // a limit.
    const std::int64_t pos =
        conn->exec("UPDATE pair_stats SET pairs = pairs + 1 WHERE id = 1 RETURNING pairs")
            .int64(0, 0);
    if (conn->exec("INSERT INTO shared_pairs (ow, nw, sharer, pos) VALUES ($1, $2, $3, $4)"
                   " ON CONFLICT DO NOTHING",
                   {s.ow, s.nw, s.userId, pos})
            .affected() == 0)
        return ShareResult::Duplicate;
    if (conn->exec("INSERT INTO share_days (user_id, day, shares) VALUES ($1, $2, 1)"
                   " ON CONFLICT (user_id, day) DO UPDATE SET shares = share_days.shares + 1"
                   " WHERE share_days.shares < $3 RETURNING shares",
                   {s.userId, s.day, s.dailyLimit})
            .empty())
        return ShareResult::DailyLimit;
    if (conn->exec("INSERT INTO share_network_days (network, day, shares) VALUES ($1, $2, 1)"
                   " ON CONFLICT (network, day) DO UPDATE SET"
                   " shares = share_network_days.shares + 1"
                   " WHERE share_network_days.shares < $3 RETURNING shares",
                   {s.network, s.day, s.networkDailyLimit})
            .empty())
        return ShareResult::NetworkLimit;
    const auto added =
        conn->exec("UPDATE accounts SET points = points + $1 WHERE id = $2 RETURNING points",
                   {s.reward, s.userId});
    addLedger(*conn, s.userId, s.reward, ledger::kShare, s.request);
    conn->exec("DELETE FROM share_days WHERE day < $1", {s.day});
    conn->exec("DELETE FROM share_network_days WHERE day < $1", {s.day});
    tx.commit();
    balance = added.int64(0, 0);
    return ShareResult::Accepted;
}

void PgStorage::recordLogin(std::int64_t userId, const std::string& address, std::int64_t now) {
    auto conn = m_pool.lease();
    // A login record a minute old is as good as a new one: it is not written
    // again, which spares the busiest path a write.
    conn->exec("INSERT INTO client_logins (user_id, address, at) VALUES ($1, $2, $3)"
               " ON CONFLICT (user_id, address) DO UPDATE SET at = EXCLUDED.at"
               " WHERE client_logins.at < EXCLUDED.at - 60",
               {userId, address, now});
    // Forgotten logins go, once a minute at most per process.
    std::int64_t last = m_lastSweep.load();
    if (now - last >= 60 && m_lastSweep.compare_exchange_strong(last, now))
        conn->exec("DELETE FROM client_logins WHERE at < $1", {now - kKnownAddressSeconds});
}

bool PgStorage::loggedInFrom(std::int64_t userId, const std::string& address, std::int64_t since) {
    auto conn = m_pool.lease();
    return !conn->exec("SELECT 1 FROM client_logins WHERE user_id = $1 AND address = $2"
                       " AND at >= $3",
                       {userId, address, since})
                .empty();
}

std::string PgStorage::tokenKey(std::int64_t userId) {
    auto conn = m_pool.lease();
    conn->exec("UPDATE accounts SET token_key = $2 WHERE id = $1 AND token_key = ''",
               {userId, newTokenKey()});
    const auto r = conn->exec("SELECT token_key FROM accounts WHERE id = $1", {userId});
    return r.empty() ? std::string() : r.text(0, 0);
}

std::string PgStorage::sessionKey(std::int64_t userId, const std::string& address,
                                  std::int64_t since) {
    auto conn = m_pool.lease();
    const auto r = conn->exec("SELECT a.token_key FROM accounts a JOIN client_logins l"
                              " ON l.user_id = a.id WHERE a.id = $1 AND a.disabled = 0"
                              " AND l.address = $2 AND l.at >= $3",
                              {userId, address, since});
    return r.empty() ? std::string() : r.text(0, 0);
}

std::int64_t PgStorage::countEvents(const std::string& key, std::int64_t since) {
    auto conn = m_pool.lease();
    return conn
        ->exec("SELECT COALESCE(SUM(weight), 0) FROM throttle_events WHERE key = $1 AND at >= $2",
               {key, since})
        .int64(0, 0);
}

bool PgStorage::addEventBelow(const std::string& key, std::int64_t at, std::int64_t since,
                              std::int64_t limit, std::int64_t forgetBefore, std::int64_t weight) {
    auto conn = m_pool.lease();
    PgTransaction tx(*conn);
    // Count and insert under a lock on the key, held to the end of the
    // transaction, so that processes counting the same key take turns.
    conn->exec("SELECT pg_advisory_xact_lock(hashtextextended($1, 0))", {key});
    conn->exec("DELETE FROM throttle_events WHERE at < $1", {forgetBefore});
    const bool added =
        conn->exec("INSERT INTO throttle_events (key, at, weight)"
                   " SELECT $1, $2, $5 WHERE (SELECT COALESCE(SUM(weight), 0)"
                   " FROM throttle_events WHERE key = $1 AND at >= $3) <= $4::bigint - $5::bigint",
                   {key, at, since, limit, weight})
            .affected() == 1;
    tx.commit();
    return added;
}

void PgStorage::clearEvents(const std::string& key) {
    auto conn = m_pool.lease();
    conn->exec("DELETE FROM throttle_events WHERE key = $1", {key});
}

void PgStorage::clearEventsWithPrefix(const std::string& prefix) {
    auto conn = m_pool.lease();
    conn->exec("DELETE FROM throttle_events WHERE left(key, length($1)) = $1", {prefix});
}

} // namespace wycserver
