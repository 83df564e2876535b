#pragma once
// The event loop of wyc-cli: completions of requests wait in a queue until
// this thread runs them.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "net/event_loop.h"

namespace cli {

class CliLoop : public net::EventLoop {
  public:
    void processEvents() override;
    void postToGui(std::function<void()> fn) override;

    // Runs completions until `done` holds, sleeping while none is queued.
    void waitUntil(const std::function<bool()>& done);

    std::function<void()> onEvents; // run by every processEvents

  private:
    void runPosted();

    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<std::function<void()>> m_posted;
};

} // namespace cli
