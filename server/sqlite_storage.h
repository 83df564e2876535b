#pragma once
// The store in one SQLite file, for a server that runs as one process: one
// connection behind a mutex, every call a short statement or a short transaction.
#include <mutex>

#include "sqlitedb/sqlite.h"
#include "storage.h"

namespace wycserver {

class SqliteStorage : public Storage {
  public:
    // Opens or creates the file, readable by its owner only (it holds password
    // hashes and client addresses); a new file gets the starter pairs when asked.
    // Posts are kept up to `keptPostBytes` in all.
    SqliteStorage(const std::string& path, bool starterPairs,
                  std::int64_t keptPostBytes = kKeptPostBytes);

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

  private:
    void createSchema();
    void migratePosts();
    void addStarterPairs();
    std::int64_t pointsOf(std::int64_t userId, bool& found);
    std::optional<Account> readAccount(Statement& st);

    std::mutex m_mutex;
    SqliteDb m_db;
    std::int64_t m_keptPostBytes;
};

} // namespace wycserver
