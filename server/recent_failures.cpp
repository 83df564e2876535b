#include "recent_failures.h"

#include "network.h"

namespace wycserver {

namespace {

std::string accountKey(std::string_view account) {
    return "a " + std::string(account);
}

std::string networkKey(std::string_view address) {
    return "n " + networkOf(std::string(address));
}

} // namespace

RecentFailures::RecentFailures(std::chrono::seconds memory, std::function<Clock::time_point()> now)
    : m_memory(memory), m_now(std::move(now)) {}

void RecentFailures::failed(std::string_view account, std::string_view address) {
    std::lock_guard lock(m_mutex);
    const auto now = m_now();
    if (m_last.size() >= kMaxEntries) {
        std::erase_if(m_last, [&](const auto& e) { return e.second <= now - m_memory; });
        // Still full: a flood of names. Forgetting them only lets their next
        // logins queue with the others again.
        if (m_last.size() >= kMaxEntries) m_last.clear();
    }
    m_last[accountKey(account)] = now;
    m_last[networkKey(address)] = now;
}

bool RecentFailures::recent(const std::string& key, Clock::time_point now) const {
    const auto it = m_last.find(key);
    return it != m_last.end() && it->second > now - m_memory;
}

bool RecentFailures::suspect(std::string_view account, std::string_view address) {
    std::lock_guard lock(m_mutex);
    const auto now = m_now();
    return recent(accountKey(account), now) || recent(networkKey(address), now);
}

} // namespace wycserver
