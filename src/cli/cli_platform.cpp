#include "cli/cli_platform.h"

#include <chrono>
#include <cstdio>

#include "protocol/codepage.h"

namespace cli {

void CliPlatform::processEvents() {
    runPosted();
    if (onEvents) onEvents();
}

void CliPlatform::postToGui(std::function<void()> fn) {
    {
        std::lock_guard lock(m_mutex);
        m_posted.push_back(std::move(fn));
    }
    m_ready.notify_one();
}

void CliPlatform::showError(const std::string& text) {
    ++errors;
    say(text);
}

void CliPlatform::waitUntil(const std::function<bool()>& done) {
    while (!done()) {
        {
            std::unique_lock lock(m_mutex);
            m_ready.wait_for(lock, std::chrono::milliseconds(100),
                             [this] { return !m_posted.empty(); });
        }
        processEvents();
    }
}

void CliPlatform::runPosted() {
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

void CliPlatform::say(const std::string& text) {
    if (beforeSay) beforeSay();
    std::fprintf(stderr, "batch: %s\n", cp::gbkToUtf8(text).c_str());
}

} // namespace cli
