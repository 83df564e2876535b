#pragma once
// The threads that rewrite. The network threads only read and write
// connections; each rewrite waits here for a worker, in a queue of bounded
// length, so a flood is refused at once (503) instead of piling up.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace service {

class WorkQueue {
  public:
    // `run` is called on a worker; `refuse` instead when the queue stops
    // before the task began. Exactly one of them is called, once.
    struct Task {
        std::function<void()> run;
        std::function<void()> refuse;
    };

    WorkQueue(unsigned threads, std::size_t maxWaiting);
    ~WorkQueue();
    WorkQueue(const WorkQueue&) = delete;
    WorkQueue& operator=(const WorkQueue&) = delete;

    // False when the queue is full or stopped; then neither function is called.
    bool push(Task task);
    // Refuses what waits, lets running tasks finish, joins the workers.
    void stop();

  private:
    void work();

    const std::size_t m_maxWaiting;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<Task> m_waiting;
    bool m_stopped = false;
    std::vector<std::thread> m_workers;
};

} // namespace service
