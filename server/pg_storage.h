#pragma once
// The store in a PostgreSQL database, shared by every server process that names
// it: a pool of connections, each call a short statement or a short transaction
// whose rules hold whatever the other processes do at the same moment.
#include "pg_connection.h"
#include "storage.h"

namespace wycserver {

class PgStorage : public Storage {
  public:
    // Connects (uri as libpq takes it) and creates the tables when missing; a
    // new database gets the starter pairs when asked. Posts are kept up to
    // `keptPostBytes` in all. At most `connections` are open at once.
    PgStorage(const std::string& uri, bool starterPairs,
              std::int64_t keptPostBytes = kKeptPostBytes, std::size_t connections = 8);

    std::optional<Account> createAccount(const std::string& name, const std::string& passwordHash,
                                         const std::string& recoveryHash) override;
    std::optional<Account> findAccount(const std::string& name) override;
    std::optional<Account> findAccount(std::int64_t id) override;
    void setPassword(std::int64_t id, const std::string& passwordHash,
                     const std::string& recoveryHash) override;
    bool replacePasswordHash(std::int64_t id, const std::string& oldHash,
                             const std::string& newHash) override;
    DownloadResult chargeDownload(std::int64_t userId, const std::string& ow, const std::string& nw,
                                  std::int64_t price, std::int64_t& balance) override;
    ShareResult sharePair(std::int64_t userId, const std::string& ow, const std::string& nw,
                          std::int64_t reward, const std::string& day, std::int64_t dailyLimit,
                          std::int64_t& balance) override;
    void recordLogin(std::int64_t userId, const std::string& address, std::int64_t now,
                     std::int64_t forgetBefore) override;
    bool loggedInFrom(std::int64_t userId, const std::string& address, std::int64_t since) override;
    std::int64_t countEvents(const std::string& key, std::int64_t since) override;
    bool addEventBelow(const std::string& key, std::int64_t at, std::int64_t since,
                       std::int64_t limit, std::int64_t forgetBefore) override;
    void clearEvents(const std::string& key) override;
    std::int64_t pairCount() override;
    std::vector<SharedPair> pairs(std::int64_t offset, std::int64_t limit) override;
    void addPost(const std::string& id, const std::string& content, const std::string& preview,
                 std::int64_t bodyBytes, const std::string& remote) override;
    std::vector<StoredPost> latestPosts(int limit) override;
    std::optional<std::string> postContent(std::int64_t seq) override;

    // For tools that work on the tables directly (the copy from SQLite).
    PgPool& pool() { return m_pool; }

  private:
    void createSchema(PgConnection& conn, bool starterPairs);

    PgPool m_pool;
    std::int64_t m_keptPostBytes;
};

} // namespace wycserver
