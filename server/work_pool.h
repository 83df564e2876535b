#pragma once
// A fixed set of threads for work too slow for the network threads (password
// hashing). The queue is bounded, so a flood is refused at once instead of
// piling up; the thread count bounds how much memory the hashing holds.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace wycserver {

class WorkPool {
  public:
    // A job runs once: with false on a pool thread, or with true when the
    // pool stops before it began.
    using Job = std::function<void(bool cancelled)>;

    WorkPool(std::size_t threads, std::size_t maxQueued);
    ~WorkPool();
    WorkPool(const WorkPool&) = delete;
    WorkPool& operator=(const WorkPool&) = delete;

    // False when the queue is full or the pool has stopped; the job is not kept.
    bool submit(Job job);
    // Cancels the waiting jobs, lets the running ones finish and joins the
    // threads. Safe to call twice.
    void stop();

  private:
    void run();

    std::size_t m_maxQueued;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_queue;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

} // namespace wycserver
