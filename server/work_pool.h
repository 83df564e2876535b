#pragma once
// A fixed set of threads for work that must not run on the network threads
// (password hashing, the store). Queues are bounded, so a flood is refused at
// once instead of piling up; the thread count bounds how much memory and how
// many store connections the work holds. Jobs wait in lanes: a free thread
// takes the oldest job of the first lane that has one, so work put in a later
// lane waits behind everything in the earlier ones. Each lane has its own
// bound, so a full later lane never refuses work of an earlier one. A job may
// carry a recheck that says, when its turn comes, which lane it belongs in by
// then: one found to belong in a later lane goes to the back of that lane.
// Jobs of the later lanes run on all threads but one, so that a job of the
// first lane never has to wait for one of theirs to end.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace wycserver {

class WorkPool {
  public:
    // A job runs once: with false on a pool thread, or with true when the
    // pool stops before it began.
    using Job = std::function<void(bool cancelled)>;
    using Recheck = std::function<std::size_t()>;

    WorkPool(std::size_t threads, std::size_t maxQueuedPerLane, std::size_t lanes = 1);
    ~WorkPool();
    WorkPool(const WorkPool&) = delete;
    WorkPool& operator=(const WorkPool&) = delete;

    // False when the lane is full or the pool has stopped; the job is not kept.
    bool submit(Job job, std::size_t lane = 0, Recheck recheck = {});
    // Cancels the waiting jobs, lets the running ones finish and joins the
    // threads. Safe to call twice.
    void stop();

    std::size_t waiting() const;
    std::size_t running() const { return m_running; }

  private:
    void run();

    std::size_t m_maxQueued;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    struct Waiting {
        Job job;
        Recheck recheck;
    };
    // The next job to run and its lane, moving jobs that belong in a later
    // lane by now.
    std::optional<std::pair<Job, std::size_t>> next();

    std::vector<std::deque<Waiting>> m_lanes;
    bool m_stopping = false;
    std::atomic<std::size_t> m_running{0};
    std::size_t m_laterThreads = 1; // threads the later lanes may use at once
    std::size_t m_runningLater = 0;
    std::vector<std::thread> m_threads;
};

} // namespace wycserver
