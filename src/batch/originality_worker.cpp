#include "batch/originality_worker.h"

namespace batch {

namespace {
constexpr size_t kMaxQueued = 32;
}

OriginalityWorker::OriginalityWorker() : m_thread([this] { work(); }) {}

OriginalityWorker::~OriginalityWorker() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void OriginalityWorker::add(int key, std::string source, std::string result) {
    {
        std::lock_guard lock(m_mutex);
        if (m_queue.size() < kMaxQueued) {
            m_queue.push_back({key, std::move(source), std::move(result)});
            m_changed.notify_all();
            return;
        }
    }
    const int score = engine::originality(source, result);
    std::lock_guard lock(m_mutex);
    m_scores.emplace_back(key, score);
}

std::vector<std::pair<int, int>> OriginalityWorker::finish() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.empty() && m_busy == 0; });
    return std::move(m_scores);
}

void OriginalityWorker::work() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_queue.empty()) return; // stopped with nothing left
        Article article = std::move(m_queue.front());
        m_queue.pop_front();
        ++m_busy;
        lock.unlock();
        const int score = engine::originality(article.source, article.result);
        lock.lock();
        m_scores.emplace_back(article.key, score);
        --m_busy;
        m_changed.notify_all();
    }
}

} // namespace batch
