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
#include <vector>

#include "engine/originality.h"

namespace batch {

class OriginalityWorker {
  public:
    OriginalityWorker();
    ~OriginalityWorker();
    OriginalityWorker(const OriginalityWorker&) = delete;
    OriginalityWorker& operator=(const OriginalityWorker&) = delete;

    // Scores the article; `key` names it in the scores.
    void add(int key, std::string source, std::string result);
    // Waits for the articles added so far; the score of each, by key.
    std::vector<std::pair<int, int>> finish();

  private:
    void work();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    struct Article {
        int key;
        std::string source, result;
    };
    std::deque<Article> m_queue;
    size_t m_busy = 0; // articles taken from the queue and being scored
    std::vector<std::pair<int, int>> m_scores;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace batch
