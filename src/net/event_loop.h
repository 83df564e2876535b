#pragma once
// The thread that owns a front end's state and the loop that runs on it: the
// window's GUI thread, or the command line's main thread. Completions of
// requests are handed to it and run there, one at a time.
#include <functional>

namespace net {

class EventLoop {
  public:
    virtual ~EventLoop() = default;
    // Let pending events and posted completions run.
    virtual void processEvents() = 0;
    // Hand `fn` to the loop's thread; callable from any thread.
    virtual void postToGui(std::function<void()> fn) = 0;
};

} // namespace net
