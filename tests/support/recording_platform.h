#pragma once
// A Platform for tests: records every call and answers dialogs from a script.
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/platform.h"

class RecordingPlatform : public Platform {
  public:
    struct Call {
        std::string what; // "message", "error", "confirm", "saveFile", "openFile",
                          // "selectDirectory", "clipboard", "open", "terminate"
        std::string text;
    };

    void processEvents() override;
    void postToGui(std::function<void()> fn) override;
    void showMessage(const std::string& text) override { record("message", text); }
    void showError(const std::string& text) override { record("error", text); }
    bool confirm(const std::string& text) override;
    std::optional<std::string> saveFile(const std::string& title, const std::string& filterName,
                                        const std::string& filterMask) override;
    std::optional<std::string> openFile(const std::string& title, const std::string& filterName,
                                        const std::string& filterMask) override;
    std::optional<std::string> selectDirectory(const std::string& title,
                                               const std::string& startDir) override;
    void setClipboardText(const std::string& text) override {
        clipboard = text;
        record("clipboard", text);
    }
    void shellOpen(const std::string& address) override { record("open", address); }
    void terminate(int exitCode) override {
        terminated = true;
        this->exitCode = exitCode;
        record("terminate", std::to_string(exitCode));
    }

    // Runs posted completions until none is left (or `limit` have run).
    int drainPosted(int limit = 1 << 30);
    // Waits (up to `timeoutMs`) until `done` holds, running posted completions.
    bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000);

    std::vector<Call> calls;
    std::vector<std::string> errors() const;
    int count(const std::string& what) const;

    // Scripted answers, taken front first; a missing answer means Cancel / OK.
    // fileAnswers serve both file dialogs.
    std::deque<bool> confirmAnswers;
    std::deque<std::optional<std::string>> fileAnswers;
    std::deque<std::optional<std::string>> dirAnswers;
    // Run by processEvents(), e.g. to click during a load.
    std::function<void()> onProcessEvents;
    int processEventsCalls = 0;

    std::string clipboard;
    bool terminated = false;
    int exitCode = 0;

  private:
    std::optional<std::string> nextFileAnswer();
    void record(const std::string& what, const std::string& text) { calls.push_back({what, text}); }
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_posted;
};
