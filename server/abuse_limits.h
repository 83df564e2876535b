#pragma once
// Counters that slow down password guessing and mass sign-ups, behind one small
// interface: the server keeps them in its store (stored_abuse_limits.h), so that
// instances sharing a store share them; this in-memory form serves one process.
#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace wycserver {

class AbuseLimits {
  public:
    virtual ~AbuseLimits() = default;
    // True while logins to `account` from `address` are refused.
    virtual bool loginBlocked(std::string_view account, std::string_view address) = 0;
    virtual void loginFailed(std::string_view account, std::string_view address) = 0;
    virtual void loginSucceeded(std::string_view account, std::string_view address) = 0;
    // Counts a sign-up from `address`; false (and not counted) when the
    // address has used up its allowance.
    virtual bool takeSignUp(std::string_view address) = 0;
};

struct AbuseLimitSettings {
    int failuresBeforeBlock = 5;
    std::chrono::seconds failureWindow{600};
    std::chrono::seconds blockFor{600};
    int signUpsPerHour = 10;
};

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
    bool takeSignUp(std::string_view address) override;

  private:
    struct Failures {
        std::deque<Clock::time_point> times; // within the window, oldest first
        Clock::time_point blockedUntil{};
    };
    static std::string key(std::string_view account, std::string_view address);
    void dropExpired(Clock::time_point now);

    static constexpr std::size_t kMaxEntries = 100000;
    AbuseLimitSettings m_settings;
    std::function<Clock::time_point()> m_now;
    std::mutex m_mutex;
    std::unordered_map<std::string, Failures> m_failures;
    std::unordered_map<std::string, std::deque<Clock::time_point>> m_signUps;
};

} // namespace wycserver
