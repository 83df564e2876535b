#pragma once
// The server's own SQLite file: accounts with hashed passwords and points, the
// shared thesaurus and the posts of the test submission page. All texts are
// UTF-8. One connection behind a mutex: every call is a short statement or a
// short transaction.
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "thesaurus/sqlite.h"

namespace wycserver {

struct Account {
    std::int64_t id = 0;
    std::string name;
    std::int64_t points = 0;
    std::string passwordHash;
    std::string recoveryHash;
};

struct SharedPair {
    std::int64_t netId = 0;
    std::string ow;
    std::string nw;
    std::int64_t sharer = 0;
};

struct StoredPost {
    std::int64_t seq = 0;
    std::string receivedAt; // UTC, "YYYY-MM-DD HH:MM:SS"
    std::string id;         // decoded for display
    std::string content;    // decoded for display
    std::int64_t rawBytes = 0;
    std::string remote;
};

enum class SpendResult { Spent, NoPoints, UnknownUser };
enum class ShareResult { Accepted, Duplicate, UnknownUser };

class Storage {
  public:
    static constexpr std::int64_t kStartPoints = 100;
    static constexpr std::int64_t kFirstUserId = 10001;
    static constexpr std::int64_t kStarterSharer = 10000;
    static constexpr int kKeptPosts = 1000;

    // Opens or creates the file; a new file gets the starter pairs when asked.
    Storage(const std::string& path, bool starterPairs);

    // Empty when the account name is taken.
    std::optional<Account> createAccount(const std::string& name, const std::string& passwordHash,
                                         const std::string& recoveryHash);
    std::optional<Account> findAccount(const std::string& name);
    std::optional<Account> findAccount(std::int64_t id);
    void setPassword(std::int64_t id, const std::string& passwordHash,
                     const std::string& recoveryHash);

    // Takes one point; never below zero. `balance` is the points after the call.
    SpendResult spendPoint(std::int64_t userId, std::int64_t& balance);
    // Adds the pair and `reward` points in one transaction.
    ShareResult sharePair(std::int64_t userId, const std::string& ow, const std::string& nw,
                          std::int64_t reward, std::int64_t& balance);

    std::int64_t pairCount();
    // Newest first.
    std::vector<SharedPair> pairs(std::int64_t offset, std::int64_t limit);

    // Keeps the newest kKeptPosts posts.
    void addPost(const std::string& id, const std::string& content, const std::string& rawBody,
                 const std::string& remote);
    std::vector<StoredPost> latestPosts(int limit);

  private:
    void createSchema();
    void addStarterPairs();
    std::optional<Account> readAccount(Statement& st);

    std::mutex m_mutex;
    SqliteDb m_db;
};

} // namespace wycserver
