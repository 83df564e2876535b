#pragma once
// The store in one SQLite file, for a server that runs as one process: one
// connection behind a mutex, every call a short statement or a short
// transaction. A call waits at most the lock timeout for the mutex and for the
// file (another process may hold it), and a statement that runs longer than
// the statement timeout is interrupted; either way it throws StoreBusy.
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "sqlitedb/sqlite.h"
#include "storage.h"

namespace wycserver {

class SqliteStorage : public Storage {
  public:
    // Opens or creates the file, readable by its owner only (it holds password
    // hashes and client addresses); a new file gets the starter pairs when asked.
    explicit SqliteStorage(const StoreLocation& where);
    SqliteStorage(const std::string& path, bool starterPairs);

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

    // A consistent copy of the whole store in a new file, made while the
    // server runs (SQLite's online backup), readable by its owner only.
    void backup(const std::string& path);

  private:
    class Guard;
    class Prepared;
    // Runs `work` holding the connection; a timeout becomes StoreBusy.
    template <typename Work> auto locked(Work&& work);
    // The statement for `sql`, prepared once per connection (while locked).
    Prepared prepared(const std::string& sql);

    void upgrade(std::int64_t fromVersion, bool starterPairs);
    void createSchema();
    void migratePosts();
    void addMissingColumns();
    void seedStarterPairs();
    void numberAllPairs();
    void renumberPairsFrom(std::int64_t pos);
    std::int64_t pointsOf(std::int64_t userId, bool& found);
    void addLedger(std::int64_t userId, std::int64_t change, const std::string& reason,
                   const std::string& request);
    std::optional<Account> readAccount(Statement& st);
    static int progress(void* self);

    std::timed_mutex m_mutex;
    SqliteDb m_db;
    std::unordered_map<std::string, std::unique_ptr<Statement>> m_statements;
    // When expired tokens and forgotten logins were last swept away.
    std::int64_t m_lastSweep = 0;
    std::int64_t m_keptPostBytes;
    std::chrono::milliseconds m_statementTimeout;
    std::chrono::milliseconds m_lockTimeout;
    // When the statement under way must give up (read by SQLite's progress
    // callback on the thread that holds the mutex).
    std::chrono::steady_clock::time_point m_deadline{};
};

} // namespace wycserver
