#pragma once
// What the server keeps: accounts with hashed passwords and points, the ledger
// of every points change, the shared thesaurus, the posts of the test
// submission page, and what guards the points (login tokens, which client
// address each account logged in from, how many pairs each account and each
// network shared on each day, which pairs each account has paid for, and the
// events the throttles count). All texts are UTF-8.
//
// Two stores implement it: a SQLite file for one server process, and a
// PostgreSQL database that several server processes share. Every rule that
// must hold across processes (never below zero points, one payment per pair,
// one reward per pair, a ledger line for every change of points) is enforced by
// the store in one statement or one transaction, never by a check in the
// process followed by a write.
//
// Every call is bounded in time: a store that cannot answer within its timeout
// throws StoreBusy, which the server answers with "busy, try again".
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sqlitedb/sqlite.h" // DbError

namespace wycserver {

// The store did not answer in time (a lock held elsewhere, a stalled database,
// no free connection): the request may be tried again later.
class StoreBusy : public DbError {
  public:
    using DbError::DbError;
};

struct Account {
    std::int64_t id = 0;
    std::string name;
    std::int64_t points = 0;
    std::string passwordHash;
    std::string recoveryHash;
    bool disabled = false;    // no login, no points, no shares
    bool shareBanned = false; // shares refused
    std::string tokenKey;     // signs the account's login tokens (login_token.h)
};

struct SharedPair {
    std::int64_t netId = 0;
    std::string ow;
    std::string nw;
    std::int64_t sharer = 0;
    bool operator==(const SharedPair&) const = default;
};

// One page of the shared thesaurus, newest first, and how many pairs there are.
struct PairPage {
    std::vector<SharedPair> rows;
    std::int64_t total = 0;
};

// Which shared pairs an administrator means; empty fields match everything.
struct PairFilter {
    std::optional<std::int64_t> netId;
    std::optional<std::int64_t> sharer;
    std::optional<std::string> word; // the original or the new word
};

// A change of an account's points and why.
struct LedgerEntry {
    std::int64_t seq = 0;
    std::string at; // UTC, "YYYY-MM-DD HH:MM:SS"
    std::int64_t userId = 0;
    std::int64_t change = 0;
    std::string reason;
    std::string request; // the request that made it, or who
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
// NotShared: the pair is not in the shared thesaurus, so it costs nothing.
enum class DownloadResult { Charged, AlreadyPaid, NoPoints, UnknownUser, NotShared };
enum class ShareResult { Accepted, Duplicate, UnknownUser, DailyLimit, NetworkLimit, Banned };
enum class AdjustResult { Done, UnknownUser, NotEnoughPoints };

struct ShareRequest {
    std::int64_t userId = 0;
    std::string network; // the client's network (see network.h)
    std::string ow, nw;
    std::int64_t reward = 0;
    std::string day;                    // a date text; counts of earlier days are dropped
    std::int64_t dailyLimit = 0;        // per account and day
    std::int64_t networkDailyLimit = 0; // per network and day
    std::string request;
};

// The reasons the ledger gives.
namespace ledger {
inline constexpr const char* kSignUp = "sign-up";
inline constexpr const char* kDownload = "download";
inline constexpr const char* kShare = "share";
inline constexpr const char* kOpening = "balance before the ledger";
} // namespace ledger

class Storage {
  public:
    static constexpr std::int64_t kStartPoints = 100;
    static constexpr std::int64_t kFirstUserId = 10001;
    static constexpr std::int64_t kStarterSharer = 10000;
    static constexpr int kKeptPosts = 1000;
    static constexpr std::int64_t kKeptPostBytes = 64ll << 20;
    static constexpr std::size_t kPreviewBytes = 2000;
    // A login (its token, and its client address) counts this long, in seconds.
    static constexpr std::int64_t kLoginSeconds = 24 * 60 * 60;
    // Logins from an address are remembered this long (the address is then
    // "known" to the account for the guessing limits), in seconds.
    static constexpr std::int64_t kKnownAddressSeconds = 90ll * 24 * 60 * 60;
    // The layout of the tables; a store made by a newer server is refused.
    static constexpr std::int64_t kSchemaVersion = 3;

    virtual ~Storage() = default;

    // Empty when the account name is taken. Ids start above the values the
    // desktop program sends before a login ("9") and after a refused one ("0").
    // The starting points go into the ledger.
    virtual std::optional<Account> createAccount(const std::string& name,
                                                 const std::string& passwordHash,
                                                 const std::string& recoveryHash,
                                                 const std::string& request) = 0;
    virtual std::optional<Account> findAccount(const std::string& name) = 0;
    virtual std::optional<Account> findAccount(std::int64_t id) = 0;
    // A new password ends every login token of the account (a new token key).
    virtual void setPassword(std::int64_t id, const std::string& passwordHash,
                             const std::string& recoveryHash) = 0;
    // Replaces the password hash only while it is still `oldHash`, so that a
    // password set meanwhile is never overwritten. True when replaced.
    virtual bool replacePasswordHash(std::int64_t id, const std::string& oldHash,
                                     const std::string& newHash) = 0;
    // Disabling also ends the account's tokens (a new token key) and login
    // records.
    virtual bool setDisabled(std::int64_t id, bool disabled) = 0;
    virtual bool setShareBanned(std::int64_t id, bool banned) = 0;
    // Adds `change` points (negative: takes them, never below zero), with a
    // ledger line.
    virtual AdjustResult adjustPoints(std::int64_t id, std::int64_t change,
                                      const std::string& reason, const std::string& request,
                                      std::int64_t& balance) = 0;
    // The account's ledger, oldest first.
    virtual std::vector<LedgerEntry> ledger(std::int64_t id) = 0;

    // Takes `price` points for the pair (ow, nw) if it is shared, unless the
    // account paid for it before; never below zero. `balance` is the points
    // after the call.
    virtual DownloadResult chargeDownload(std::int64_t userId, const std::string& ow,
                                          const std::string& nw, std::int64_t price,
                                          const std::string& request, std::int64_t& balance) = 0;
    // Adds the pair and the reward in one transaction, unless the pair is
    // already shared, the account may not share, or the account or the
    // network already had their day's shares accepted.
    virtual ShareResult sharePair(const ShareRequest& share, std::int64_t& balance) = 0;

    // Times are seconds since the epoch. Remembers that the account logged in
    // from `address` at `now`.
    virtual void recordLogin(std::int64_t userId, const std::string& address, std::int64_t now) = 0;
    // True when the account logged in from `address` at `since` or later.
    virtual bool loggedInFrom(std::int64_t userId, const std::string& address,
                              std::int64_t since) = 0;
    // The account's token key, made now if it has none yet (accounts of
    // older layouts); empty for an unknown account.
    virtual std::string tokenKey(std::int64_t userId) = 0;
    // The account's token key when the account may use its tokens from
    // `address`: it is not disabled and logged in from there at `since` or
    // later. Empty otherwise.
    virtual std::string sessionKey(std::int64_t userId, const std::string& address,
                                   std::int64_t since) = 0;

    // Throttle events: times at which something happened under a key, each
    // with a weight (1 unless said otherwise).
    // The weight of the events at `since` or later under `key`.
    virtual std::int64_t countEvents(const std::string& key, std::int64_t since) = 0;
    // Records an event at `at` unless the events at `since` or later plus this
    // one would weigh more than `limit` (count and record are one step for all
    // processes); true when recorded. Forgets every event of any key before
    // `forgetBefore`.
    virtual bool addEventBelow(const std::string& key, std::int64_t at, std::int64_t since,
                               std::int64_t limit, std::int64_t forgetBefore,
                               std::int64_t weight) = 0;
    virtual void clearEvents(const std::string& key) = 0;
    // Forgets the events of every key that starts with `prefix`.
    virtual void clearEventsWithPrefix(const std::string& prefix) = 0;

    virtual std::int64_t pairCount() = 0;
    // Page `page` (from 1) of `pageSize` pairs, newest first; no rows for a
    // page out of range. Costs the same on every page.
    virtual PairPage pairPage(std::int64_t page, std::int64_t pageSize) = 0;
    // Pairs the filter matches, newest first, at most `limit`.
    virtual std::vector<SharedPair> findPairs(const PairFilter& filter, std::int64_t limit) = 0;
    // Deletes what the filter matches (an empty filter deletes nothing); the
    // number deleted.
    virtual std::int64_t deletePairs(const PairFilter& filter) = 0;

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

    // A small read of a table: throws when the store cannot answer.
    virtual void ping() = 0;
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
    // Longest a statement may run, and wait for a lock, a connection or the
    // file, in milliseconds.
    int statementTimeoutMs = 5000;
    int lockTimeoutMs = 2000;
};

// Opens (creating the tables when missing); throws DbError when it cannot.
std::unique_ptr<Storage> openStorage(const StoreLocation& where);

// The pairs a new store shares: the starter thesaurus every copy of the desktop
// program ships with, so that sharing one of them earns nothing ("already in").
const std::vector<std::pair<std::string, std::string>>& starterPairs();
// A fixed-length key naming the pair (ow, nw): words of any length fit an index.
std::string pairKey(const std::string& ow, const std::string& nw);
// The SHA-256 of a text in lower-case hexadecimal (login tokens are kept so).
std::string sha256Hex(std::string_view text);

} // namespace wycserver
