#pragma once
// The store in a PostgreSQL database, shared by every server process that names
// it: a pool of connections, each call a short statement or a short transaction
// whose rules hold whatever the other processes do at the same moment. Every
// connection has a statement and a lock timeout.
#include <atomic>

#include "pg_connection.h"
#include "storage.h"

namespace wycserver {

class PgStorage : public Storage {
  public:
    // Connects and creates the tables when missing; a new database gets the
    // starter pairs when asked.
    explicit PgStorage(const StoreLocation& where);

    std::optional<Account> createAccount(const std::string& name, const std::string& passwordHash,
                                         const std::string& recoveryHash,
                                         const std::string& request) override;
    std::optional<Account> findAccount(const std::string& name) override;
    std::optional<Account> findAccount(std::int64_t id) override;
    void setPassword(std::int64_t id, const std::string& passwordHash,
                     const std::string& recoveryHash) override;
    bool replacePasswordHash(std::int64_t id, const std::string& oldHash,
                             const std::string& newHash) override;
    bool setDisabled(std::int64_t id, bool disabled) override;
    bool setShareBanned(std::int64_t id, bool banned) override;
    AdjustResult adjustPoints(std::int64_t id, std::int64_t change, const std::string& reason,
                              const std::string& request, std::int64_t& balance) override;
    std::vector<LedgerEntry> ledger(std::int64_t id) override;
    DownloadResult chargeDownload(std::int64_t userId, const std::string& ow, const std::string& nw,
                                  std::int64_t price, const std::string& request,
                                  std::int64_t& balance) override;
    ShareResult sharePair(const ShareRequest& share, std::int64_t& balance) override;
    void recordLogin(std::int64_t userId, const std::string& address, std::int64_t now) override;
    bool loggedInFrom(std::int64_t userId, const std::string& address, std::int64_t since) override;
    std::string tokenKey(std::int64_t userId) override;
    std::string sessionKey(std::int64_t userId, const std::string& address,
                           std::int64_t since) override;
    std::int64_t countEvents(const std::string& key, std::int64_t since) override;
    bool addEventBelow(const std::string& key, std::int64_t at, std::int64_t since,
                       std::int64_t limit, std::int64_t forgetBefore, std::int64_t weight) override;
    void clearEvents(const std::string& key) override;
    void clearEventsWithPrefix(const std::string& prefix) override;
    std::int64_t pairCount() override;
    PairPage pairPage(std::int64_t page, std::int64_t pageSize) override;
    std::vector<SharedPair> findPairs(const PairFilter& filter, std::int64_t limit) override;
    std::int64_t deletePairs(const PairFilter& filter) override;
    void addPost(const std::string& id, const std::string& content, const std::string& preview,
                 std::int64_t bodyBytes, const std::string& remote) override;
    std::vector<StoredPost> latestPosts(int limit) override;
    std::optional<std::string> postContent(std::int64_t seq) override;
    void ping() override;

    // For tools that work on the tables directly (the copy from SQLite).
    PgPool& pool() { return m_pool; }

  private:
    void upgrade(PgConnection& conn, std::int64_t fromVersion, bool starterPairs);
    void createSchema(PgConnection& conn);
    void seedStarterPairs(PgConnection& conn);

    PgPool m_pool;
    std::int64_t m_keptPostBytes;
    // When expired tokens and forgotten logins were last swept away.
    std::atomic<std::int64_t> m_lastSweep{0};
};

} // namespace wycserver
