#pragma once
// What the server keeps: accounts with hashed passwords and points, the shared
// thesaurus, the posts of the test submission page, and what guards the points
// (which client address each account logged in from, how many pairs each
// account shared on each day, which pairs each account has paid for, and the
// events the login and sign-up throttles count). All texts are UTF-8.
//
// Two stores implement it: a SQLite file for one server process, and a
// PostgreSQL database that several server processes share. Every rule that
// must hold across processes (never below zero points, one payment per pair,
// one reward per pair) is enforced by the store in one statement or one
// transaction, never by a check in the process followed by a write.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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
// stays in the store (see postContent).
struct StoredPost {
    std::int64_t seq = 0;
    std::string receivedAt;    // UTC, "YYYY-MM-DD HH:MM:SS"
    std::string id;            // decoded for display
    std::string preview;       // the start of the content, decoded for display
    std::int64_t rawBytes = 0; // size of the posted body
    std::string remote;
};

// Charged: the price was taken. AlreadyPaid: the account paid for this pair
// before, so nothing was taken again (a repeated or retried request).
enum class DownloadResult { Charged, AlreadyPaid, NoPoints, UnknownUser };
enum class ShareResult { Accepted, Duplicate, UnknownUser, DailyLimit };

class Storage {
  public:
    static constexpr std::int64_t kStartPoints = 100;
    static constexpr std::int64_t kFirstUserId = 10001;
    static constexpr std::int64_t kStarterSharer = 10000;
    static constexpr int kKeptPosts = 1000;
    static constexpr std::int64_t kKeptPostBytes = 64ll << 20;
    static constexpr std::size_t kPreviewBytes = 2000;
    // The layout of the tables; a store made by a newer server is refused.
    static constexpr std::int64_t kSchemaVersion = 2;

    virtual ~Storage() = default;

    // Empty when the account name is taken. Ids start above the values the
    // desktop program sends before a login ("9") and after a refused one ("0").
    virtual std::optional<Account> createAccount(const std::string& name,
                                                 const std::string& passwordHash,
                                                 const std::string& recoveryHash) = 0;
    virtual std::optional<Account> findAccount(const std::string& name) = 0;
    virtual std::optional<Account> findAccount(std::int64_t id) = 0;
    virtual void setPassword(std::int64_t id, const std::string& passwordHash,
                             const std::string& recoveryHash) = 0;
    // Replaces the password hash only while it is still `oldHash`, so that a
    // password set meanwhile is never overwritten. True when replaced.
    virtual bool replacePasswordHash(std::int64_t id, const std::string& oldHash,
                                     const std::string& newHash) = 0;

    // Takes `price` points for the pair (ow, nw) unless the account paid for it
    // before; never below zero. `balance` is the points after the call.
    virtual DownloadResult chargeDownload(std::int64_t userId, const std::string& ow,
                                          const std::string& nw, std::int64_t price,
                                          std::int64_t& balance) = 0;
    // Adds the pair and `reward` points in one transaction, unless the pair is
    // already shared or the account already had `dailyLimit` shares accepted
    // on `day` (a date text; counts of earlier days are dropped).
    virtual ShareResult sharePair(std::int64_t userId, const std::string& ow, const std::string& nw,
                                  std::int64_t reward, const std::string& day,
                                  std::int64_t dailyLimit, std::int64_t& balance) = 0;

    // Times are seconds since the epoch. Remembers that the account logged in
    // from `address` at `now`, and forgets every login before `forgetBefore`.
    virtual void recordLogin(std::int64_t userId, const std::string& address, std::int64_t now,
                             std::int64_t forgetBefore) = 0;
    // True when the account logged in from `address` at `since` or later.
    virtual bool loggedInFrom(std::int64_t userId, const std::string& address,
                              std::int64_t since) = 0;

    // Throttle events: times at which something happened under a key.
    // Events at `since` or later under `key`.
    virtual std::int64_t countEvents(const std::string& key, std::int64_t since) = 0;
    // Records an event at `at` unless `limit` events at `since` or later are
    // already there (count and record are one step for all processes); true
    // when recorded. Forgets every event of any key before `forgetBefore`.
    virtual bool addEventBelow(const std::string& key, std::int64_t at, std::int64_t since,
                               std::int64_t limit, std::int64_t forgetBefore) = 0;
    virtual void clearEvents(const std::string& key) = 0;

    virtual std::int64_t pairCount() = 0;
    // Newest first.
    virtual std::vector<SharedPair> pairs(std::int64_t offset, std::int64_t limit) = 0;

    // Stores a post once: `content` as the bytes that were posted, `id` and
    // `preview` as display text. Keeps the newest kKeptPosts posts, and of
    // those as many as fit in the byte budget (the newest always).
    virtual void addPost(const std::string& id, const std::string& content,
                         const std::string& preview, std::int64_t bodyBytes,
                         const std::string& remote) = 0;
    // Newest first; reads no content.
    virtual std::vector<StoredPost> latestPosts(int limit) = 0;
    // The content bytes of a post, if it is still kept.
    virtual std::optional<std::string> postContent(std::int64_t seq) = 0;
};

// Where the server keeps its data: a SQLite file, or a PostgreSQL connection
// URI ("postgresql://..." or "postgres://...").
struct StoreLocation {
    std::string sqliteFile;
    std::string postgresUri; // when set, used instead of the file
    bool starterPairs = true;
    std::int64_t keptPostBytes = Storage::kKeptPostBytes;
    // Connections to PostgreSQL open at once.
    std::size_t connections = 8;
};

// Opens (creating the tables when missing); throws DbError when it cannot.
std::unique_ptr<Storage> openStorage(const StoreLocation& where);

// The pairs a new store shares, so that browsing the network thesaurus shows
// something before anyone has shared.
const std::vector<std::pair<std::string, std::string>>& starterPairs();
// A fixed-length key naming the pair (ow, nw): words of any length fit an index.
std::string pairKey(const std::string& ow, const std::string& nw);

} // namespace wycserver
