#include "readiness.h"

namespace wycserver {

Readiness::Readiness(std::function<void()> ask, std::chrono::milliseconds every)
    : m_ask(std::move(ask)), m_every(every) {
    // The first answer before the instance takes requests, so that /readyz
    // is right from the start.
    askOnce();
    m_thread = std::thread([this] { loop(); });
}

void Readiness::askOnce() {
    {
        std::lock_guard lock(m_mutex);
        m_asking = true;
        m_askedAt = Clock::now();
    }
    bool answered = true;
    try {
        m_ask();
    } catch (...) {
        answered = false;
    }
    const auto done = Clock::now();
    std::lock_guard lock(m_mutex);
    m_asking = false;
    m_lastAnswered = answered && done - m_askedAt <= kAnswerWithin;
    m_lastAnswer = done;
}

Readiness::~Readiness() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void Readiness::loop() {
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            if (m_wake.wait_for(lock, m_every, [this] { return m_quit; })) return;
        }
        askOnce();
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
