#pragma once
// Which account names and networks had a wrong password lately, in memory, so
// that the network thread can put their next logins behind everyone else's
// without asking the store. Each instance learns from its own failures; that
// is enough to order its own queue.
#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace wycserver {

class RecentFailures {
  public:
    using Clock = std::chrono::steady_clock;
    explicit RecentFailures(std::chrono::seconds memory = std::chrono::minutes(10),
                            std::function<Clock::time_point()> now = Clock::now);

    // `account` as the request spelled it (any reading), `address` the client.
    void failed(std::string_view account, std::string_view address);
    // True when the account name or the address's network failed within the memory.
    bool suspect(std::string_view account, std::string_view address);

  private:
    bool recent(const std::string& key, Clock::time_point now) const;

    static constexpr std::size_t kMaxEntries = 50000;
    std::chrono::seconds m_memory;
    std::function<Clock::time_point()> m_now;
    std::mutex m_mutex;
    std::unordered_map<std::string, Clock::time_point> m_last;
};

} // namespace wycserver
