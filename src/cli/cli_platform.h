#pragma once
// The desktop of a window model run from the command line: completions of
// requests wait in a queue until this thread runs them, dialogs are
// cancelled, and messages go to standard error.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "app/platform.h"

namespace cli {

class CliPlatform : public Platform {
  public:
    void processEvents() override;
    void postToGui(std::function<void()> fn) override;
    void showMessage(const std::string& text) override { say(text); }
    void showError(const std::string& text) override;
    bool confirm(const std::string&) override { return false; }
    std::optional<std::string> saveFile(const std::string&, const std::string&,
                                        const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> selectDirectory(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    void setClipboardText(const std::string&) override {}
    void shellOpen(const std::string&) override {}
    void terminate(int) override {}

    // Runs completions until `done` holds, sleeping while none is queued.
    void waitUntil(const std::function<bool()>& done);

    int errors = 0;                  // error boxes shown
    std::function<void()> onEvents;  // run by every processEvents
    std::function<void()> beforeSay; // run before a message is printed

  private:
    void runPosted();
    void say(const std::string& text);

    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<std::function<void()>> m_posted;
};

} // namespace cli
