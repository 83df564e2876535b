#include "support/recording_platform.h"

#include <chrono>
#include <thread>

void RecordingPlatform::processEvents() {
    ++processEventsCalls;
    if (onProcessEvents) {
        auto fn = onProcessEvents; // the hook may replace itself
        fn();
    }
    drainPosted();
}

void RecordingPlatform::postToGui(std::function<void()> fn) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_posted.push_back(std::move(fn));
}

int RecordingPlatform::drainPosted(int limit) {
    int ran = 0;
    while (ran < limit) {
        std::function<void()> fn;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_posted.empty()) break;
            fn = std::move(m_posted.front());
            m_posted.pop_front();
        }
        fn();
        ++ran;
    }
    return ran;
}

bool RecordingPlatform::waitUntil(const std::function<bool()>& done, int timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        if (drainPosted() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

bool RecordingPlatform::confirm(const std::string& text) {
    record("confirm", text);
    if (confirmAnswers.empty()) return false;
    bool a = confirmAnswers.front();
    confirmAnswers.pop_front();
    return a;
}

std::optional<std::string> RecordingPlatform::saveFile(const std::string& title,
                                                       const std::string& filterName,
                                                       const std::string& filterMask) {
    record("saveFile", title + "|" + filterName + "|" + filterMask);
    return nextFileAnswer();
}

std::optional<std::string> RecordingPlatform::openFile(const std::string& title,
                                                       const std::string& filterName,
                                                       const std::string& filterMask) {
    record("openFile", title + "|" + filterName + "|" + filterMask);
    return nextFileAnswer();
}

std::optional<std::string> RecordingPlatform::nextFileAnswer() {
    if (fileAnswers.empty()) return std::nullopt;
    auto a = fileAnswers.front();
    fileAnswers.pop_front();
    return a;
}

std::optional<std::string> RecordingPlatform::selectDirectory(const std::string& title,
                                                              const std::string& startDir) {
    record("selectDirectory", title + "|" + startDir);
    if (dirAnswers.empty()) return std::nullopt;
    auto a = dirAnswers.front();
    dirAnswers.pop_front();
    return a;
}

std::vector<std::string> RecordingPlatform::errors() const {
    std::vector<std::string> out;
    for (const auto& c : calls)
        if (c.what == "error") out.push_back(c.text);
    return out;
}

int RecordingPlatform::count(const std::string& what) const {
    int n = 0;
    for (const auto& c : calls)
        if (c.what == what) ++n;
    return n;
}
