#pragma once
// The server's own SQLite file: accounts with hashed passwords and points, the
// shared thesaurus, the posts of the test submission page, and what guards the
// points: which client address each account logged in from, and how many pairs
// each account shared on each day. All texts are UTF-8. One connection behind a mutex: every call
// is a short statement or a short transaction.
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

// A post of the test submission page as the page lists it: the content itself
// stays in the file (see postContent).
struct StoredPost {
    std::int64_t seq = 0;
    std::string receivedAt;    // UTC, "YYYY-MM-DD HH:MM:SS"
    std::string id;            // decoded for display
    std::string preview;       // the start of the content, decoded for display
    std::int64_t rawBytes = 0; // size of the posted body
    std::string remote;
};

enum class SpendResult { Spent, NoPoints, UnknownUser };
enum class ShareResult { Accepted, Duplicate, UnknownUser, DailyLimit };

class Storage {
  public:
    static constexpr std::int64_t kStartPoints = 100;
    static constexpr std::int64_t kFirstUserId = 10001;
    static constexpr std::int64_t kStarterSharer = 10000;
    static constexpr int kKeptPosts = 1000;
    static constexpr std::int64_t kKeptPostBytes = 64ll << 20;
    static constexpr std::size_t kPreviewBytes = 2000;

    // Opens or creates the file, readable by its owner only (it holds password
    // hashes and client addresses); a new file gets the starter pairs when asked.
    // Posts are kept up to `keptPostBytes` in all.
    Storage(const std::string& path, bool starterPairs,
            std::int64_t keptPostBytes = kKeptPostBytes);

    // Empty when the account name is taken.
    std::optional<Account> createAccount(const std::string& name, const std::string& passwordHash,
                                         const std::string& recoveryHash);
    std::optional<Account> findAccount(const std::string& name);
    std::optional<Account> findAccount(std::int64_t id);
    void setPassword(std::int64_t id, const std::string& passwordHash,
                     const std::string& recoveryHash);
    // Replaces the password hash only while it is still `oldHash`, so that a
    // password set meanwhile is never overwritten. True when replaced.
    bool replacePasswordHash(std::int64_t id, const std::string& oldHash,
                             const std::string& newHash);

    // Takes one point; never below zero. `balance` is the points after the call.
    SpendResult spendPoint(std::int64_t userId, std::int64_t& balance);
    // Adds the pair and `reward` points in one transaction, unless the account
    // already had `dailyLimit` shares accepted on `day` (a date text; counts of
    // earlier days are dropped).
    ShareResult sharePair(std::int64_t userId, const std::string& ow, const std::string& nw,
                          std::int64_t reward, const std::string& day, std::int64_t dailyLimit,
                          std::int64_t& balance);

    // Times are seconds since the epoch. Remembers that the account logged in
    // from `address` at `now`, and forgets every login before `forgetBefore`.
    void recordLogin(std::int64_t userId, const std::string& address, std::int64_t now,
                     std::int64_t forgetBefore);
    // True when the account logged in from `address` at `since` or later.
    bool loggedInFrom(std::int64_t userId, const std::string& address, std::int64_t since);

    std::int64_t pairCount();
    // Newest first.
    std::vector<SharedPair> pairs(std::int64_t offset, std::int64_t limit);

    // Stores a post once: `content` as the bytes that were posted, `id` and
    // `preview` as display text. Keeps the newest kKeptPosts posts, and of
    // those as many as fit in the byte budget (the newest always).
    void addPost(const std::string& id, const std::string& content, const std::string& preview,
                 std::int64_t bodyBytes, const std::string& remote);
    // Newest first; reads no content.
    std::vector<StoredPost> latestPosts(int limit);
    // The content bytes of a post, if it is still kept.
    std::optional<std::string> postContent(std::int64_t seq);

  private:
    void createSchema();
    void migratePosts();
    void addStarterPairs();
    std::optional<Account> readAccount(Statement& st);

    std::mutex m_mutex;
    SqliteDb m_db;
    std::int64_t m_keptPostBytes;
};

} // namespace wycserver
