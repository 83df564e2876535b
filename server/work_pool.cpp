#include "work_pool.h"

#include <algorithm>

namespace wycserver {

WorkPool::WorkPool(std::size_t threads, std::size_t maxQueuedPerLane, std::size_t lanes)
    : m_maxQueued(maxQueuedPerLane), m_lanes(std::max<std::size_t>(1, lanes)) {
    for (std::size_t i = 0; i < std::max<std::size_t>(1, threads); ++i)
        m_threads.emplace_back([this] { run(); });
}

WorkPool::~WorkPool() {
    stop();
}

bool WorkPool::submit(Job job, std::size_t lane) {
    {
        std::lock_guard lock(m_mutex);
        auto& queue = m_lanes[std::min(lane, m_lanes.size() - 1)];
        if (m_stopping || queue.size() >= m_maxQueued) return false;
        queue.push_back(std::move(job));
    }
    m_wake.notify_one();
    return true;
}

std::size_t WorkPool::waiting() const {
    std::lock_guard lock(m_mutex);
    std::size_t n = 0;
    for (const auto& queue : m_lanes)
        n += queue.size();
    return n;
}

void WorkPool::stop() {
    std::vector<std::deque<Job>> cancelled;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        cancelled.swap(m_lanes);
        m_lanes.resize(cancelled.size());
    }
    m_wake.notify_all();
    for (auto& queue : cancelled)
        for (auto& job : queue)
            job(true);
    for (auto& t : m_threads)
        if (t.joinable()) t.join();
}

void WorkPool::run() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            auto next = [this] {
                return std::find_if(m_lanes.begin(), m_lanes.end(),
                                    [](const auto& q) { return !q.empty(); });
            };
            m_wake.wait(lock, [&] { return m_stopping || next() != m_lanes.end(); });
            const auto lane = next();
            if (lane == m_lanes.end()) return;
            job = std::move(lane->front());
            lane->pop_front();
            ++m_running;
        }
        job(false);
        --m_running;
    }
}

} // namespace wycserver
