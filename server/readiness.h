#pragma once
// Whether this instance should get requests: a thread asks the store a small
// question every few hundred milliseconds, and the instance is ready while the
// last answer came in time (within kAnswerWithin), no question has been
// waiting longer than that, and it is not stopping. /readyz reads the state
// without waiting for anything.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace wycserver {

class Readiness {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kAnswerWithin{1000};

    // `ask` throws when the store cannot answer.
    Readiness(std::function<void()> ask, std::chrono::milliseconds every);
    ~Readiness();
    Readiness(const Readiness&) = delete;
    Readiness& operator=(const Readiness&) = delete;

    bool ready() const;
    // From now on not ready, whatever the store says.
    void stopping() { m_stopping = true; }

  private:
    void askOnce();
    void loop();

    std::function<void()> m_ask;
    std::chrono::milliseconds m_every;
    std::atomic<bool> m_stopping{false};
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_quit = false;
    bool m_lastAnswered = false;
    Clock::time_point m_lastAnswer{};
    Clock::time_point m_askedAt{};
    bool m_asking = false;
    std::thread m_thread;
};

} // namespace wycserver
