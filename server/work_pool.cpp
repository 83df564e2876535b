#include "work_pool.h"

#include <algorithm>

namespace wycserver {

WorkPool::WorkPool(std::size_t threads, std::size_t maxQueuedPerLane, std::size_t lanes)
    : m_maxQueued(maxQueuedPerLane), m_lanes(std::max<std::size_t>(1, lanes)) {
    threads = std::max<std::size_t>(1, threads);
    m_laterThreads = std::max<std::size_t>(1, threads - 1);
    for (std::size_t i = 0; i < threads; ++i)
        m_threads.emplace_back([this] { run(); });
}

WorkPool::~WorkPool() {
    stop();
}

bool WorkPool::submit(Job job, std::size_t lane, Recheck recheck) {
    {
        std::lock_guard lock(m_mutex);
        auto& queue = m_lanes[std::min(lane, m_lanes.size() - 1)];
        if (m_stopping || queue.size() >= m_maxQueued) return false;
        queue.push_back({std::move(job), std::move(recheck)});
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
    std::vector<std::deque<Waiting>> cancelled;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        cancelled.swap(m_lanes);
        m_lanes.resize(cancelled.size());
    }
    m_wake.notify_all();
    for (auto& queue : cancelled)
        for (auto& waiting : queue)
            waiting.job(true);
    for (auto& t : m_threads)
        if (t.joinable()) t.join();
}

// Called with the mutex held. A job moved to a later lane is not counted
// against that lane's bound: it was admitted already.
std::optional<std::pair<WorkPool::Job, std::size_t>> WorkPool::next() {
    for (std::size_t lane = 0; lane < m_lanes.size(); ++lane) {
        if (lane > 0 && m_runningLater >= m_laterThreads) break;
        auto& queue = m_lanes[lane];
        while (!queue.empty()) {
            Waiting front = std::move(queue.front());
            queue.pop_front();
            const std::size_t belongs =
                front.recheck ? std::min(front.recheck(), m_lanes.size() - 1) : lane;
            if (belongs > lane) {
                m_lanes[belongs].push_back(std::move(front));
                continue;
            }
            return std::make_pair(std::move(front.job), lane);
        }
    }
    return std::nullopt;
}

void WorkPool::run() {
    for (;;) {
        std::optional<std::pair<Job, std::size_t>> found;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [&] {
                found = m_stopping ? std::nullopt : next();
                return m_stopping || found.has_value();
            });
            if (!found) return;
            ++m_running;
            if (found->second > 0) ++m_runningLater;
        }
        found->first(false);
        --m_running;
        if (found->second > 0) {
            {
                std::lock_guard lock(m_mutex);
                --m_runningLater;
            }
            // A thread that left a later-lane job waiting may take it now.
            m_wake.notify_all();
        }
    }
}

} // namespace wycserver
