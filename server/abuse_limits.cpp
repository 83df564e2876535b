#include "abuse_limits.h"

#include <numeric>

#include "network.h"

namespace wycserver {

namespace {

template <typename Times> void forget(Times& times, std::chrono::steady_clock::time_point before) {
    while (!times.empty() && times.front() <= before)
        times.pop_front();
}

} // namespace

std::int64_t postUnits(std::uint64_t bodyBytes) {
    return 1 + static_cast<std::int64_t>(bodyBytes / 16384);
}

MemoryAbuseLimits::MemoryAbuseLimits(AbuseLimitSettings settings,
                                     std::function<Clock::time_point()> now)
    : m_settings(settings), m_now(std::move(now)) {}

std::string MemoryAbuseLimits::key(std::string_view account, std::string_view address) {
    std::string k(address);
    k += '\n';
    k += account;
    return k;
}

// Drops what has expired; when a flood of names still fills the maps,
// starting afresh keeps memory bounded (it only forgets the last minutes).
void MemoryAbuseLimits::makeRoom(Clock::time_point now) {
    if (m_failures.size() + m_counters.size() < kMaxEntries) return;
    for (auto it = m_failures.begin(); it != m_failures.end();) {
        forget(it->second.times, now - m_settings.failureWindow);
        if (it->second.times.empty() && it->second.blockedUntil <= now)
            it = m_failures.erase(it);
        else
            ++it;
    }
    const auto longest = std::max({m_settings.guessWindow, m_settings.postWindow,
                                   std::chrono::seconds(std::chrono::hours(1))});
    for (auto it = m_counters.begin(); it != m_counters.end();) {
        while (!it->second.empty() && it->second.front().first <= now - longest)
            it->second.pop_front();
        it = it->second.empty() ? m_counters.erase(it) : std::next(it);
    }
    if (m_failures.size() >= kMaxEntries / 2) m_failures.clear();
    if (m_counters.size() >= kMaxEntries / 2) m_counters.clear();
}

bool MemoryAbuseLimits::take(const std::string& key, std::chrono::seconds window,
                             std::int64_t limit, std::int64_t weight, Clock::time_point now) {
    Events& events = m_counters[key];
    while (!events.empty() && events.front().first <= now - window)
        events.pop_front();
    const std::int64_t used =
        std::accumulate(events.begin(), events.end(), std::int64_t{0},
                        [](std::int64_t sum, const auto& e) { return sum + e.second; });
    if (weight > 0 && used + weight > limit) return false;
    events.emplace_back(now, weight);
    return true;
}

bool MemoryAbuseLimits::loginBlocked(std::string_view account, std::string_view address) {
    std::lock_guard lock(m_mutex);
    auto it = m_failures.find(key(account, address));
    return it != m_failures.end() && it->second.blockedUntil > m_now();
}

void MemoryAbuseLimits::loginFailed(std::string_view account, std::string_view address) {
    std::lock_guard lock(m_mutex);
    const auto now = m_now();
    makeRoom(now);
    Failures& f = m_failures[key(account, address)];
    forget(f.times, now - m_settings.failureWindow);
    f.times.push_back(now);
    if (static_cast<int>(f.times.size()) >= m_settings.failuresBeforeBlock) {
        f.blockedUntil = now + m_settings.blockFor;
        f.times.clear();
    }
}

void MemoryAbuseLimits::loginSucceeded(std::string_view account, std::string_view address) {
    std::lock_guard lock(m_mutex);
    m_failures.erase(key(account, address));
}

GuessCheck MemoryAbuseLimits::takeGuess(std::string_view account, std::string_view address) {
    std::lock_guard lock(m_mutex);
    const auto now = m_now();
    makeRoom(now);
    const std::string net = "net\n" + networkOf(std::string(address));
    if (!account.empty() && !take("account\n" + std::string(account), m_settings.guessWindow,
                                  m_settings.guessesPerAccount, 1, now))
        return GuessCheck::AccountLimit;
    if (!take(net, m_settings.guessWindow, m_settings.guessesPerNetwork, 1, now)) {
        if (!account.empty())
            take("account\n" + std::string(account), m_settings.guessWindow, 0, -1, now);
        return GuessCheck::NetworkLimit;
    }
    return GuessCheck::Allowed;
}

void MemoryAbuseLimits::guessSucceeded(std::string_view account, std::string_view address) {
    std::lock_guard lock(m_mutex);
    const auto now = m_now();
    if (!account.empty())
        take("account\n" + std::string(account), m_settings.guessWindow, 0, -1, now);
    take("net\n" + networkOf(std::string(address)), m_settings.guessWindow, 0, -1, now);
}

bool MemoryAbuseLimits::takeSignUp(std::string_view address) {
    std::lock_guard lock(m_mutex);
    const auto now = m_now();
    makeRoom(now);
    const std::chrono::seconds hour = std::chrono::hours(1);
    const std::string net = "sign-up-net\n" + networkOf(std::string(address));
    if (!take("sign-up\n" + std::string(address), hour, m_settings.signUpsPerHour, 1, now))
        return false;
    if (take(net, hour, m_settings.networkSignUps(), 1, now)) return true;
    take("sign-up\n" + std::string(address), hour, 0, -1, now);
    return false;
}

bool MemoryAbuseLimits::takePost(std::string_view address, std::int64_t weight) {
    std::lock_guard lock(m_mutex);
    const auto now = m_now();
    makeRoom(now);
    const std::string own = "post\n" + std::string(address);
    if (!take(own, m_settings.postWindow, m_settings.postUnitsPerAddress, weight, now))
        return false;
    if (take("post-net\n" + networkOf(std::string(address)), m_settings.postWindow,
             m_settings.postUnitsPerNetwork, weight, now))
        return true;
    take(own, m_settings.postWindow, 0, -weight, now);
    return false;
}

} // namespace wycserver
