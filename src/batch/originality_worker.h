#pragma once
// Scores the originality of the articles of a run on a thread of its own, so
// the window's thread only rewrites and writes. When the thread falls behind,
// the caller scores the article itself rather than queueing more.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "engine/originality.h"

namespace batch {

class OriginalityWorker {
  public:
    OriginalityWorker();
    ~OriginalityWorker();
    OriginalityWorker(const OriginalityWorker&) = delete;
    OriginalityWorker& operator=(const OriginalityWorker&) = delete;

    void add(std::string source, std::string result);
    // Waits for the articles added so far; the tally of all of them.
    engine::OriginalityTally finish();

  private:
    void work();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::pair<std::string, std::string>> m_queue;
    size_t m_busy = 0; // articles taken from the queue and being scored
    engine::OriginalityTally m_tally;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace batch
