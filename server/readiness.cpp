#include "readiness.h"

namespace wycserver {

Readiness::Readiness(std::function<void()> ask, std::chrono::milliseconds every)
    : m_ask(std::move(ask)), m_every(every), m_thread([this] { loop(); }) {}

Readiness::~Readiness() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void Readiness::loop() {
    std::unique_lock lock(m_mutex);
    while (!m_quit) {
        m_asking = true;
        m_askedAt = Clock::now();
        lock.unlock();
        bool answered = true;
        try {
            m_ask();
        } catch (...) {
            answered = false;
        }
        const auto done = Clock::now();
        lock.lock();
        m_asking = false;
        m_lastAnswered = answered && done - m_askedAt <= kAnswerWithin;
        m_lastAnswer = done;
        m_wake.wait_for(lock, m_every, [this] { return m_quit; });
    }
}

bool Readiness::ready() const {
    if (m_stopping) return false;
    std::lock_guard lock(m_mutex);
    const auto now = Clock::now();
    if (m_asking && now - m_askedAt > kAnswerWithin) return false;
    // A store that stopped being asked (the thread stuck) is not trusted.
    return m_lastAnswered && now - m_lastAnswer <= m_every + 2 * kAnswerWithin;
}

} // namespace wycserver
