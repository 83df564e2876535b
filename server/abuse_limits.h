#pragma once
// Counters that slow down password guessing, mass sign-ups and floods of test
// posts, behind one small interface: the server keeps them in its store
// (stored_abuse_limits.h), so that instances sharing a store share them; this
// in-memory form serves one process (and tests).
//
// Guessing is limited three ways. One account from one address: a few
// failures block that pair for a while. One account from every address it has
// never logged in from: a few dozen checks in the window. One network (see
// network.h): a few dozen checks in the window, whatever the accounts. The
// caller skips the last two for an address the account has logged in from
// before, so that a stranger cannot lock a user out.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace wycserver {

enum class GuessCheck { Allowed, AccountLimit, NetworkLimit };

class AbuseLimits {
  public:
    virtual ~AbuseLimits() = default;
    // `account` names one account (its id), however the request spelled it.
    // True while logins to `account` from `address` are refused.
    virtual bool loginBlocked(std::string_view account, std::string_view address) = 0;
    virtual void loginFailed(std::string_view account, std::string_view address) = 0;
    virtual void loginSucceeded(std::string_view account, std::string_view address) = 0;
    // Counts one password check against the account (empty: no such account,
    // only the network counts) and the network of `address`; nothing is
    // counted when refused.
    virtual GuessCheck takeGuess(std::string_view account, std::string_view address) = 0;
    // The check taken by takeGuess found the right password: it does not count.
    virtual void guessSucceeded(std::string_view account, std::string_view address) = 0;
    // Counts a sign-up from `address` and its network; false (and not
    // counted) when either has used up its allowance.
    virtual bool takeSignUp(std::string_view address) = 0;
    // Counts a test post of `weight` units from `address` and its network.
    virtual bool takePost(std::string_view address, std::int64_t weight) = 0;
};

struct AbuseLimitSettings {
    int failuresBeforeBlock = 5;
    std::chrono::seconds failureWindow{600};
    std::chrono::seconds blockFor{600};
    int signUpsPerHour = 10;
    // Password checks per account (from addresses it never logged in from)
    // and per network, within guessWindow.
    int guessesPerAccount = 20;
    int guessesPerNetwork = 50;
    std::chrono::seconds guessWindow{600};
    // Sign-ups per network and hour; 0: five times signUpsPerHour.
    int signUpsPerNetworkPerHour = 0;
    // Units of test posts (one, and one more per 16 KB) per address and per
    // network within postWindow.
    std::int64_t postUnitsPerAddress = 600;
    std::int64_t postUnitsPerNetwork = 1800;
    std::chrono::seconds postWindow{600};

    int networkSignUps() const {
        return signUpsPerNetworkPerHour ? signUpsPerNetworkPerHour : 5 * signUpsPerHour;
    }
};

// The weight of a test post of `bodyBytes` in the post allowance.
std::int64_t postUnits(std::uint64_t bodyBytes);

// The limits of one server process, in memory. Entries expire by themselves;
// their number is capped so that a flood of names cannot grow it without end.
class MemoryAbuseLimits : public AbuseLimits {
  public:
    using Clock = std::chrono::steady_clock;
    explicit MemoryAbuseLimits(AbuseLimitSettings settings,
                               std::function<Clock::time_point()> now = Clock::now);

    bool loginBlocked(std::string_view account, std::string_view address) override;
    void loginFailed(std::string_view account, std::string_view address) override;
    void loginSucceeded(std::string_view account, std::string_view address) override;
    GuessCheck takeGuess(std::string_view account, std::string_view address) override;
    void guessSucceeded(std::string_view account, std::string_view address) override;
    bool takeSignUp(std::string_view address) override;
    bool takePost(std::string_view address, std::int64_t weight) override;

  private:
    struct Failures {
        std::deque<Clock::time_point> times; // within the window, oldest first
        Clock::time_point blockedUntil{};
    };
    using Events = std::deque<std::pair<Clock::time_point, std::int64_t>>;
    static std::string key(std::string_view account, std::string_view address);
    void makeRoom(Clock::time_point now);
    // Adds `weight` under `key` unless the window's weight would pass `limit`.
    bool take(const std::string& key, std::chrono::seconds window, std::int64_t limit,
              std::int64_t weight, Clock::time_point now);

    static constexpr std::size_t kMaxEntries = 100000;
    AbuseLimitSettings m_settings;
    std::function<Clock::time_point()> m_now;
    std::mutex m_mutex;
    std::unordered_map<std::string, Failures> m_failures;
    std::unordered_map<std::string, Events> m_counters;
};

} // namespace wycserver
