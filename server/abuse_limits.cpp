#include "abuse_limits.h"

namespace wycserver {

namespace {

template <typename Times> void forget(Times& times, std::chrono::steady_clock::time_point before) {
    while (!times.empty() && times.front() <= before)
        times.pop_front();
}

} // namespace

MemoryAbuseLimits::MemoryAbuseLimits(AbuseLimitSettings settings,
                                     std::function<Clock::time_point()> now)
    : m_settings(settings), m_now(std::move(now)) {}

std::string MemoryAbuseLimits::key(std::string_view account, std::string_view address) {
    std::string k(address);
    k += '\n';
    k += account;
    return k;
}

void MemoryAbuseLimits::dropExpired(Clock::time_point now) {
    for (auto it = m_failures.begin(); it != m_failures.end();) {
        forget(it->second.times, now - m_settings.failureWindow);
        if (it->second.times.empty() && it->second.blockedUntil <= now)
            it = m_failures.erase(it);
        else
            ++it;
    }
    for (auto it = m_signUps.begin(); it != m_signUps.end();) {
        forget(it->second, now - std::chrono::hours(1));
        it = it->second.empty() ? m_signUps.erase(it) : std::next(it);
    }
}

bool MemoryAbuseLimits::loginBlocked(std::string_view account, std::string_view address) {
    std::lock_guard lock(m_mutex);
    auto it = m_failures.find(key(account, address));
    return it != m_failures.end() && it->second.blockedUntil > m_now();
}

void MemoryAbuseLimits::loginFailed(std::string_view account, std::string_view address) {
    std::lock_guard lock(m_mutex);
    const auto now = m_now();
    if (m_failures.size() + m_signUps.size() >= kMaxEntries) {
        dropExpired(now);
        // Still full: an attacker is spraying names. Starting afresh keeps
        // memory bounded; it only forgets failures of the last minutes.
        if (m_failures.size() >= kMaxEntries / 2) m_failures.clear();
    }
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

bool MemoryAbuseLimits::takeSignUp(std::string_view address) {
    std::lock_guard lock(m_mutex);
    const auto now = m_now();
    if (m_failures.size() + m_signUps.size() >= kMaxEntries) {
        dropExpired(now);
        if (m_signUps.size() >= kMaxEntries / 2) m_signUps.clear();
    }
    auto& times = m_signUps[std::string(address)];
    forget(times, now - std::chrono::hours(1));
    if (static_cast<int>(times.size()) >= m_settings.signUpsPerHour) return false;
    times.push_back(now);
    return true;
}

} // namespace wycserver
