#include "service/work_queue.h"

namespace service {

WorkQueue::WorkQueue(unsigned threads, std::size_t maxWaiting) : m_maxWaiting(maxWaiting) {
    m_workers.reserve(threads ? threads : 1);
    do
        m_workers.emplace_back([this] { work(); });
    while (m_workers.size() < threads);
}

WorkQueue::~WorkQueue() {
    stop();
}

bool WorkQueue::push(Task task) {
    std::unique_lock lock(m_mutex);
    if (m_stopped || m_waiting.size() >= m_maxWaiting) return false;
    m_waiting.push_back(std::move(task));
    lock.unlock();
    m_ready.notify_one();
    return true;
}

void WorkQueue::stop() {
    std::deque<Task> refused;
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
        refused.swap(m_waiting);
    }
    m_ready.notify_all();
    for (Task& task : refused)
        task.refuse();
    for (std::thread& worker : m_workers)
        if (worker.joinable()) worker.join();
}

void WorkQueue::work() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_ready.wait(lock, [this] { return m_stopped || !m_waiting.empty(); });
        if (m_waiting.empty()) return;
        Task task = std::move(m_waiting.front());
        m_waiting.pop_front();
        lock.unlock();
        task.run();
        lock.lock();
    }
}

} // namespace service
