#include "work_pool.h"

#include <algorithm>

namespace wycserver {

WorkPool::WorkPool(std::size_t threads, std::size_t maxQueued) : m_maxQueued(maxQueued) {
    for (std::size_t i = 0; i < std::max<std::size_t>(1, threads); ++i)
        m_threads.emplace_back([this] { run(); });
}

WorkPool::~WorkPool() {
    stop();
}

bool WorkPool::submit(Job job) {
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping || m_queue.size() >= m_maxQueued) return false;
        m_queue.push_back(std::move(job));
    }
    m_wake.notify_one();
    return true;
}

void WorkPool::stop() {
    std::deque<Job> cancelled;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        cancelled.swap(m_queue);
    }
    m_wake.notify_all();
    for (auto& job : cancelled)
        job(true);
    for (auto& t : m_threads)
        if (t.joinable()) t.join();
}

void WorkPool::run() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty()) return;
            job = std::move(m_queue.front());
            m_queue.pop_front();
        }
        job(false);
    }
}

} // namespace wycserver
