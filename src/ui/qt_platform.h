#pragma once
// The desktop under Qt: event processing, hand-over to the GUI thread, message
// boxes, file and directory dialogs, clipboard, the shell's "open", and ending
// the program.
#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>

#include "app/platform.h"

namespace ui {

class QtPlatform : public Platform {
  public:
    QtPlatform();

    // Message boxes and dialogs are centred on this window once it is set.
    void setDialogParent(QWidget* parent) { m_parent = parent; }

    // Runs pending events at most once per kEventPassInterval milliseconds: the
    // thesaurus loader calls this for every record, and a full pass per record
    // would make a large load slow while a pass every few milliseconds keeps
    // the window responsive.
    void processEvents() override;
    // Work handed over from other threads runs in the order it came, in
    // slices of at most kDeliverySlice milliseconds: a download list of
    // thousands of lines finishes its fetches faster than their answers are
    // handled, and running the whole backlog in one go would hold the window.
    void postToGui(std::function<void()> fn) override;

    void showMessage(const std::string& text) override;
    void showError(const std::string& text) override;
    bool confirm(const std::string& text) override;
    std::optional<std::string> saveFile(const std::string& title, const std::string& filterName,
                                        const std::string& filterMask) override;
    std::optional<std::string> openFile(const std::string& title, const std::string& filterName,
                                        const std::string& filterMask) override;
    std::optional<std::string> selectDirectory(const std::string& title,
                                               const std::string& startDir) override;
    void setClipboardText(const std::string& text) override;
    void shellOpen(const std::string& address) override;
    // Before the event loop runs, the code is kept for main() to return;
    // afterwards the event loop ends with it.
    void terminate(int exitCode) override;

    // The exit status asked for before the event loop started, if any.
    std::optional<int> earlyExitCode() const { return m_earlyExit; }

    static constexpr qint64 kEventPassInterval = 15;
    static constexpr qint64 kDeliverySlice = 20;

    struct GuiQueue;

  private:
    QPointer<QWidget> m_parent;
    QElapsedTimer m_lastPass;
    std::optional<int> m_earlyExit;
    // Shared with the pending hand-overs, which may outlive this object.
    std::shared_ptr<GuiQueue> m_queue;
};

} // namespace ui
