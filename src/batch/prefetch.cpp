#include "batch/prefetch.h"

#include <stdexcept>

#include "batch/source_files.h"

namespace batch {

namespace {
constexpr size_t kMaxWaitingBytes = size_t{64} << 20;

size_t sizeOf(const Prefetch::Article& a) {
    return a.text.size() + (a.after ? a.after->size() : 0);
}
} // namespace

Prefetch::Prefetch(std::vector<std::string> paths, Step step, unsigned threads, size_t ahead)
    : m_paths(std::move(paths)), m_step(std::move(step)), m_ahead(ahead ? ahead : 1),
      m_slots(m_paths.size()) {
    for (unsigned t = 0; t < (threads ? threads : 1); ++t)
        m_workers.emplace_back([this] { work(); });
}

Prefetch::~Prefetch() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    for (std::thread& w : m_workers)
        w.join();
}

void Prefetch::work() {
    for (;;) {
        size_t i;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] {
                return m_stop || m_next >= m_paths.size() ||
                       (m_next < m_taken + m_ahead && m_waitingBytes < kMaxWaitingBytes);
            });
            if (m_stop || m_next >= m_paths.size()) return;
            i = m_next++;
        }
        Slot done;
        try {
            textfile::TextFile file = readArticle(m_paths[i]);
            done.article.text = std::move(file.text);
            done.article.encoding = file.encoding;
            if (m_step) done.article.after = m_step(done.article.text);
        } catch (const std::exception& e) {
            done.error = e.what();
            if (done.error.empty()) done.error = m_paths[i];
        }
        {
            std::lock_guard lock(m_mutex);
            done.ready = true;
            m_waitingBytes += sizeOf(done.article);
            m_slots[i] = std::move(done);
        }
        m_changed.notify_all();
    }
}

Prefetch::Article Prefetch::take(size_t i) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_slots.at(i).ready; });
    Slot slot = std::move(m_slots[i]);
    m_slots[i] = Slot{};
    m_taken = i + 1;
    m_waitingBytes -= sizeOf(slot.article);
    lock.unlock();
    m_changed.notify_all();
    if (!slot.error.empty()) throw std::runtime_error(slot.error);
    return std::move(slot.article);
}

} // namespace batch
