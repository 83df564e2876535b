#pragma once
// Everything the desktop provides, gathered in one interface so that the window
// model runs the same under Qt and in tests. Texts are GBK; file paths are GBK
// too (the model converts them for the file system with fsPath()).
#include <functional>
#include <optional>
#include <string>

#include "net/event_loop.h"

// processEvents() and postToGui() come from the event loop: the GUI thread.
class Platform : public net::EventLoop {
  public:
    // Plain message box titled with the application title.
    virtual void showMessage(const std::string& text) = 0;
    // The generic error message box for a failure a command did not catch.
    virtual void showError(const std::string& text) = 0;
    // Question box with OK and Cancel; true for OK.
    virtual bool confirm(const std::string& text) = 0;
    // Save-file dialog; the chosen full path, or nothing when cancelled.
    virtual std::optional<std::string> saveFile(const std::string& title,
                                                const std::string& filterName,
                                                const std::string& filterMask) = 0;
    // Open-file dialog; the chosen full path, or nothing when cancelled.
    virtual std::optional<std::string> openFile(const std::string& title,
                                                const std::string& filterName,
                                                const std::string& filterMask) = 0;
    // Select-directory dialog; the chosen directory, or nothing when cancelled.
    virtual std::optional<std::string> selectDirectory(const std::string& title,
                                                       const std::string& startDir) = 0;
    virtual void setClipboardText(const std::string& text) = 0;
    // The desktop shell's "open" of a web address or a folder.
    virtual void shellOpen(const std::string& address) = 0;
    // End the program with the exit status.
    virtual void terminate(int exitCode) = 0;
};
