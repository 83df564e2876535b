// SqliteStorage: accounts, points and their ledger, logins and tokens, and the
// throttle events.
#include "login_token.h"
#include "sqlite_locked.h"

namespace wycserver {

namespace {

constexpr const char* kAccountColumns =
    "id, name, points, password_hash, recovery_hash, disabled, share_banned, token_key";

} // namespace

std::optional<Account> SqliteStorage::readAccount(Statement& st) {
    if (!st.step()) return std::nullopt;
    Account a;
    a.id = st.int64(0);
    a.name = st.text(1);
    a.points = st.int64(2);
    a.passwordHash = st.text(3);
    a.recoveryHash = st.text(4);
    a.disabled = st.int64(5) != 0;
    a.shareBanned = st.int64(6) != 0;
    a.tokenKey = st.text(7);
    return a;
}

void SqliteStorage::addLedger(std::int64_t userId, std::int64_t change, const std::string& reason,
                              const std::string& request) {
    auto st =
        prepared("INSERT INTO ledger (user_id, change, reason, request) VALUES (?1, ?2, ?3, ?4)");
    st.bind(1, userId).bind(2, change).bind(3, reason).bind(4, request);
    st.run();
}

std::int64_t SqliteStorage::pointsOf(std::int64_t userId, bool& found) {
    auto get = prepared("SELECT points FROM accounts WHERE id = ?1");
    get.bind(1, userId);
    found = get.step();
    return found ? get.int64(0) : 0;
}

std::optional<Account> SqliteStorage::createAccount(const std::string& name,
                                                    const std::string& passwordHash,
                                                    const std::string& recoveryHash,
                                                    const std::string& request) {
    return locked([&]() -> std::optional<Account> {
        Transaction tx(m_db);
        auto exists = prepared("SELECT 1 FROM accounts WHERE name = ?1");
        exists.bind(1, name);
        if (exists.step()) return std::nullopt;
        const std::string key = newTokenKey();
        auto ins = prepared("INSERT INTO accounts (id, name, password_hash, recovery_hash, points,"
                            " token_key) VALUES ((SELECT MAX(IFNULL(MAX(id), 0) + 1, ?5)"
                            " FROM accounts), ?1, ?2, ?3, ?4, ?6)");
        ins.bind(1, name).bind(2, passwordHash).bind(3, recoveryHash).bind(4, kStartPoints);
        ins.bind(5, kFirstUserId).bind(6, key);
        ins.run();
        const std::int64_t id = m_db.lastInsertId();
        addLedger(id, kStartPoints, ledger::kSignUp, request);
        exists.reset();
        tx.commit();
        Account created{id, name, kStartPoints, passwordHash, recoveryHash};
        created.tokenKey = key;
        return created;
    });
}

std::optional<Account> SqliteStorage::findAccount(const std::string& name) {
    return locked([&] {
        auto st =
            prepared(std::string("SELECT ") + kAccountColumns + " FROM accounts WHERE name = ?1");
        st.bind(1, name);
        return readAccount(st.statement());
    });
}

std::optional<Account> SqliteStorage::findAccount(std::int64_t id) {
    return locked([&] {
        auto st =
            prepared(std::string("SELECT ") + kAccountColumns + " FROM accounts WHERE id = ?1");
        st.bind(1, id);
        return readAccount(st.statement());
    });
}

void SqliteStorage::setPassword(std::int64_t id, const std::string& passwordHash,
                                const std::string& recoveryHash) {
    locked([&] {
        auto st = prepared("UPDATE accounts SET password_hash = ?1, recovery_hash = ?2,"
                           " token_key = ?4 WHERE id = ?3");
        st.bind(1, passwordHash).bind(2, recoveryHash).bind(3, id).bind(4, newTokenKey());
        st.run();
    });
}

bool SqliteStorage::replacePasswordHash(std::int64_t id, const std::string& oldHash,
                                        const std::string& newHash) {
    return locked([&] {
        auto st =
            prepared("UPDATE accounts SET password_hash = ?1 WHERE id = ?2 AND password_hash = ?3");
        st.bind(1, newHash).bind(2, id).bind(3, oldHash);
        st.run();
        return m_db.changes() == 1;
    });
}

bool SqliteStorage::setDisabled(std::int64_t id, bool disabled) {
    return locked([&] {
        Transaction tx(m_db);
        auto st = prepared("UPDATE accounts SET disabled = ?1,"
                           " token_key = CASE WHEN ?1 THEN ?3 ELSE token_key END WHERE id = ?2");
        st.bind(1, std::int64_t{disabled}).bind(2, id).bind(3, newTokenKey());
        st.run();
        const bool found = m_db.changes() == 1;
        if (disabled) {
            auto end = prepared("DELETE FROM client_logins WHERE user_id = ?1");
            end.bind(1, id);
            end.run();
        }
        tx.commit();
        return found;
    });
}

bool SqliteStorage::setShareBanned(std::int64_t id, bool banned) {
    return locked([&] {
        auto st = prepared("UPDATE accounts SET share_banned = ?1 WHERE id = ?2");
        st.bind(1, std::int64_t{banned}).bind(2, id);
        st.run();
        return m_db.changes() == 1;
    });
}

AdjustResult SqliteStorage::adjustPoints(std::int64_t id, std::int64_t change,
                                         const std::string& reason, const std::string& request,
                                         std::int64_t& balance) {
    return locked([&] {
        Transaction tx(m_db);
        auto take = prepared("UPDATE accounts SET points = points + ?1"
                             " WHERE id = ?2 AND points + ?1 >= 0 RETURNING points");
        take.bind(1, change).bind(2, id);
        if (!take.step()) {
            take.reset();
            bool found = false;
            balance = pointsOf(id, found);
            return found ? AdjustResult::NotEnoughPoints : AdjustResult::UnknownUser;
        }
        balance = take.int64(0);
        take.reset();
        addLedger(id, change, reason, request);
        tx.commit();
        return AdjustResult::Done;
    });
}

std::vector<LedgerEntry> SqliteStorage::ledger(std::int64_t id) {
    return locked([&] {
        auto st = prepared("SELECT seq, at, user_id, change, reason, request FROM ledger"
                           " WHERE user_id = ?1 ORDER BY seq");
        st.bind(1, id);
        std::vector<LedgerEntry> out;
        while (st.step())
            out.push_back(
                {st.int64(0), st.text(1), st.int64(2), st.int64(3), st.text(4), st.text(5)});
        return out;
    });
}

DownloadResult SqliteStorage::chargeDownload(std::int64_t userId, const std::string& ow,
                                             const std::string& nw, std::int64_t price,
                                             const std::string& request, std::int64_t& balance) {
    return locked([&] {
        bool found = false;
        {
            Transaction tx(m_db);
            auto shared = prepared("SELECT 1 FROM shared_pairs WHERE ow = ?1 AND nw = ?2");
            shared.bind(1, ow).bind(2, nw);
            if (!shared.step()) {
                balance = pointsOf(userId, found);
                return found ? DownloadResult::NotShared : DownloadResult::UnknownUser;
            }
            shared.reset();
            auto paid =
                prepared("INSERT OR IGNORE INTO downloads (user_id, pair_key) VALUES (?1, ?2)");
            paid.bind(1, userId).bind(2, pairKey(ow, nw));
            paid.run();
            if (m_db.changes() == 0) {
                balance = pointsOf(userId, found);
                return found ? DownloadResult::AlreadyPaid : DownloadResult::UnknownUser;
            }
            auto take = prepared("UPDATE accounts SET points = points - ?1"
                                 " WHERE id = ?2 AND points >= ?1 RETURNING points");
            take.bind(1, price).bind(2, userId);
            if (take.step()) {
                balance = take.int64(0);
                take.reset();
                addLedger(userId, -price, ledger::kDownload, request);
                tx.commit();
                return DownloadResult::Charged;
            }
        } // rolled back: the pair stays unpaid
        balance = pointsOf(userId, found);
        return found ? DownloadResult::NoPoints : DownloadResult::UnknownUser;
    });
}

ShareResult SqliteStorage::sharePair(const ShareRequest& s, std::int64_t& balance) {
    return locked([&] {
        Transaction tx(m_db);
        auto user = prepared("SELECT points, share_banned FROM accounts WHERE id = ?1");
        user.bind(1, s.userId);
        if (!user.step()) return ShareResult::UnknownUser;
        balance = user.int64(0);
        if (user.int64(1) != 0) return ShareResult::Banned;
        user.reset();
        auto dup = prepared("SELECT 1 FROM shared_pairs WHERE ow = ?1 AND nw = ?2");
        dup.bind(1, s.ow).bind(2, s.nw);
        if (dup.step()) return ShareResult::Duplicate;
        dup.reset();
        auto today = prepared("SELECT shares FROM share_days WHERE user_id = ?1 AND day = ?2");
        today.bind(1, s.userId).bind(2, s.day);
        if (today.step() && today.int64(0) >= s.dailyLimit) return ShareResult::DailyLimit;
        today.reset();
        auto network =
            prepared("SELECT shares FROM share_network_days WHERE network = ?1 AND day = ?2");
        network.bind(1, s.network).bind(2, s.day);
        if (network.step() && network.int64(0) >= s.networkDailyLimit)
            return ShareResult::NetworkLimit;
        network.reset();
        auto next =
            prepared("UPDATE pair_stats SET pairs = pairs + 1 WHERE id = 1 RETURNING pairs");
        next.step();
        const std::int64_t pos = next.int64(0);
        next.reset();
        auto ins =
            prepared("INSERT INTO shared_pairs (ow, nw, sharer, pos) VALUES (?1, ?2, ?3, ?4)");
        ins.bind(1, s.ow).bind(2, s.nw).bind(3, s.userId).bind(4, pos);
        ins.run();
        auto add = prepared("UPDATE accounts SET points = points + ?1 WHERE id = ?2");
        add.bind(1, s.reward).bind(2, s.userId);
        add.run();
        addLedger(s.userId, s.reward, ledger::kShare, s.request);
        auto count = prepared("INSERT INTO share_days (user_id, day, shares) VALUES (?1, ?2, 1)"
                              " ON CONFLICT (user_id, day) DO UPDATE SET shares = shares + 1");
        count.bind(1, s.userId).bind(2, s.day);
        count.run();
        auto countNetwork = prepared("INSERT INTO share_network_days (network, day, shares)"
                                     " VALUES (?1, ?2, 1) ON CONFLICT (network, day)"
                                     " DO UPDATE SET shares = shares + 1");
        countNetwork.bind(1, s.network).bind(2, s.day);
        countNetwork.run();
        for (const char* sql : {"DELETE FROM share_days WHERE day < ?1",
                                "DELETE FROM share_network_days WHERE day < ?1"}) {
            auto old = prepared(sql);
            old.bind(1, s.day);
            old.run();
        }
        tx.commit();
        balance += s.reward;
        return ShareResult::Accepted;
    });
}

void SqliteStorage::recordLogin(std::int64_t userId, const std::string& address, std::int64_t now) {
    locked([&] {
        Transaction tx(m_db);
        // A login record a minute old is as good as a new one: it is not
        // written again, which spares the busiest path a write.
        auto put = prepared("INSERT INTO client_logins (user_id, address, at) VALUES (?1, ?2, ?3)"
                            " ON CONFLICT (user_id, address) DO UPDATE SET at = ?3"
                            " WHERE client_logins.at < ?3 - 60");
        put.bind(1, userId).bind(2, address).bind(3, now);
        put.run();
        // Forgotten logins go, once a minute at most.
        if (now - m_lastSweep >= 60) {
            auto forgotten = prepared("DELETE FROM client_logins WHERE at < ?1");
            forgotten.bind(1, now - kKnownAddressSeconds);
            forgotten.run();
            m_lastSweep = now;
        }
        tx.commit();
    });
}

bool SqliteStorage::loggedInFrom(std::int64_t userId, const std::string& address,
                                 std::int64_t since) {
    return locked([&] {
        auto st = prepared("SELECT 1 FROM client_logins WHERE user_id = ?1 AND address = ?2"
                           " AND at >= ?3");
        st.bind(1, userId).bind(2, address).bind(3, since);
        return st.step();
    });
}

std::string SqliteStorage::tokenKey(std::int64_t userId) {
    return locked([&] {
        auto make = prepared("UPDATE accounts SET token_key = ?2 WHERE id = ?1 AND token_key = ''");
        make.bind(1, userId).bind(2, newTokenKey());
        make.run();
        auto st = prepared("SELECT token_key FROM accounts WHERE id = ?1");
        st.bind(1, userId);
        return st.step() ? st.text(0) : std::string();
    });
}

std::string SqliteStorage::sessionKey(std::int64_t userId, const std::string& address,
                                      std::int64_t since) {
    return locked([&] {
        auto st = prepared("SELECT a.token_key FROM accounts a JOIN client_logins l"
                           " ON l.user_id = a.id WHERE a.id = ?1 AND a.disabled = 0"
                           " AND l.address = ?2 AND l.at >= ?3");
        st.bind(1, userId).bind(2, address).bind(3, since);
        return st.step() ? st.text(0) : std::string();
    });
}

std::int64_t SqliteStorage::countEvents(const std::string& key, std::int64_t since) {
    return locked([&] {
        auto st = prepared("SELECT COALESCE(SUM(weight), 0) FROM throttle_events"
                           " WHERE key = ?1 AND at >= ?2");
        st.bind(1, key).bind(2, since);
        st.step();
        return st.int64(0);
    });
}

bool SqliteStorage::addEventBelow(const std::string& key, std::int64_t at, std::int64_t since,
                                  std::int64_t limit, std::int64_t forgetBefore,
                                  std::int64_t weight) {
    return locked([&] {
        Transaction tx(m_db);
        {
            auto old = prepared("DELETE FROM throttle_events WHERE at < ?1");
            old.bind(1, forgetBefore);
            old.run();
        }
        auto ins = prepared("INSERT INTO throttle_events (key, at, weight) SELECT ?1, ?2, ?5"
                            " WHERE (SELECT COALESCE(SUM(weight), 0) FROM throttle_events"
                            " WHERE key = ?1 AND at >= ?3) <= ?4 - ?5");
        ins.bind(1, key).bind(2, at).bind(3, since).bind(4, limit).bind(5, weight);
        ins.run();
        const bool added = m_db.changes() == 1;
        tx.commit();
        return added;
    });
}

void SqliteStorage::clearEvents(const std::string& key) {
    locked([&] {
        auto st = prepared("DELETE FROM throttle_events WHERE key = ?1");
        st.bind(1, key);
        st.run();
    });
}

void SqliteStorage::clearEventsWithPrefix(const std::string& prefix) {
    locked([&] {
        auto st = prepared("DELETE FROM throttle_events WHERE substr(key, 1, length(?1)) = ?1");
        st.bind(1, prefix);
        st.run();
    });
}

} // namespace wycserver
