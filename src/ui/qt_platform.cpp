#include "ui/qt_platform.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>
#include <QUrl>
#include <deque>
#include <mutex>

#include "app/Unit1.h"
#include "ui/qt_text.h"

namespace ui {

void QtPlatform::processEvents() {
    if (m_lastPass.isValid() && m_lastPass.elapsed() < kEventPassInterval) return;
    QCoreApplication::processEvents();
    m_lastPass.start();
}

struct QtPlatform::GuiQueue {
    std::mutex mutex;
    std::deque<std::function<void()>> work;
    bool scheduled = false; // a drain waits in Qt's event queue
    bool draining = false;  // a drain runs work on the GUI thread
};

namespace {

void drain(const std::shared_ptr<QtPlatform::GuiQueue>& queue);

// Queues a drain into the GUI thread's event queue; the caller holds the
// queue's mutex. Safe from any thread.
void scheduleDrain(const std::shared_ptr<QtPlatform::GuiQueue>& queue) {
    auto* app = QCoreApplication::instance();
    if (!app || queue->scheduled) return;
    queue->scheduled = true;
    QMetaObject::invokeMethod(
        app, [queue] { drain(queue); }, Qt::QueuedConnection);
}

// Runs queued work until the queue is empty or the slice is used up; work
// left over waits for a further drain queued behind the events that came
// meanwhile (input, timers, painting), which Qt handles first.
//
// A piece of work that lets events run (a handler that starts a request
// does) gets no further work run inside it: otherwise each answer's handler
// would wait inside the next one's, as deep as the backlog is long, and
// finish last, its status text overwriting the run's final one.
void drain(const std::shared_ptr<QtPlatform::GuiQueue>& queue) {
    {
        const std::lock_guard lock(queue->mutex);
        queue->scheduled = false;
        if (queue->draining) return; // the running drain takes the work on
        queue->draining = true;
    }
    struct Done {
        const std::shared_ptr<QtPlatform::GuiQueue>& queue;
        ~Done() {
            const std::lock_guard lock(queue->mutex);
            queue->draining = false;
            if (!queue->work.empty()) scheduleDrain(queue);
        }
    } done{queue};
    QElapsedTimer slice;
    slice.start();
    while (slice.elapsed() < QtPlatform::kDeliverySlice) {
        std::function<void()> fn;
        {
            const std::lock_guard lock(queue->mutex);
            if (queue->work.empty()) return;
            fn = std::move(queue->work.front());
            queue->work.pop_front();
        }
        fn();
    }
}

} // namespace

QtPlatform::QtPlatform() : m_queue(std::make_shared<GuiQueue>()) {}

void QtPlatform::postToGui(std::function<void()> fn) {
    const std::lock_guard lock(m_queue->mutex);
    m_queue->work.push_back(std::move(fn));
    scheduleDrain(m_queue);
}

void QtPlatform::showMessage(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, toQ(TForm1::applicationTitle()), toQ(text),
                    QMessageBox::Ok, m_parent);
    box.exec();
}

void QtPlatform::showError(const std::string& text) {
    QMessageBox::critical(m_parent, toQ(TForm1::applicationTitle()), toQ(text));
}

bool QtPlatform::confirm(const std::string& text) {
    return QMessageBox::question(m_parent, toQ(TForm1::applicationTitle()), toQ(text),
                                 QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Ok) == QMessageBox::Ok;
}

namespace {
// A file dialog's filter ("文本文件 (*.TXT)") and the path chosen, if any.
QString filterOf(const std::string& name, const std::string& mask) {
    return toQ(name) + QStringLiteral(" (") + toQ(mask) + ')';
}
std::optional<std::string> chosenPath(const QString& path) {
    if (path.isEmpty()) return std::nullopt;
    return pathFromQ(path);
}
} // namespace

std::optional<std::string> QtPlatform::saveFile(const std::string& title,
                                                const std::string& filterName,
                                                const std::string& filterMask) {
    return chosenPath(QFileDialog::getSaveFileName(m_parent, toQ(title), QString(),
                                                   filterOf(filterName, filterMask)));
}

std::optional<std::string> QtPlatform::openFile(const std::string& title,
                                                const std::string& filterName,
                                                const std::string& filterMask) {
    return chosenPath(QFileDialog::getOpenFileName(m_parent, toQ(title), QString(),
                                                   filterOf(filterName, filterMask)));
}

std::optional<std::string> QtPlatform::selectDirectory(const std::string& title,
                                                       const std::string& startDir) {
    const QString dir = QFileDialog::getExistingDirectory(m_parent, toQ(title), pathToQ(startDir));
    if (dir.isEmpty()) return std::nullopt;
    return pathFromQ(dir);
}

void QtPlatform::setClipboardText(const std::string& text) {
    QGuiApplication::clipboard()->setText(toQ(text));
}

void QtPlatform::shellOpen(const std::string& address) {
    const QString text = toQ(address);
    // A folder (the batch target directory) opens in the file manager, anything
    // else as a web address in the browser.
    const bool isPath = text.startsWith('/') || QFileInfo::exists(text);
    QDesktopServices::openUrl(isPath ? QUrl::fromLocalFile(text) : QUrl::fromUserInput(text));
}

void QtPlatform::terminate(int exitCode) {
    if (QThread::currentThread()->loopLevel() == 0) {
        m_earlyExit = exitCode;
        return;
    }
    QCoreApplication::exit(exitCode);
}

} // namespace ui
