#include "cli/cli_loop.h"

#include <chrono>

namespace cli {

void CliLoop::processEvents() {
    runPosted();
    if (onEvents) onEvents();
}

void CliLoop::postToGui(std::function<void()> fn) {
    {
        std::lock_guard lock(m_mutex);
        m_posted.push_back(std::move(fn));
    }
    m_ready.notify_one();
}

void CliLoop::waitUntil(const std::function<bool()>& done) {
    while (!done()) {
        {
            std::unique_lock lock(m_mutex);
            m_ready.wait_for(lock, std::chrono::milliseconds(100),
                             [this] { return !m_posted.empty(); });
        }
        processEvents();
    }
}

void CliLoop::runPosted() {
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard lock(m_mutex);
            if (m_posted.empty()) return;
            fn = std::move(m_posted.front());
            m_posted.pop_front();
        }
        fn();
    }
}

} // namespace cli
