#include "ui/qt_platform.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>
#include <QUrl>

#include "app/Unit1.h"
#include "ui/qt_text.h"

namespace ui {

void QtPlatform::processEvents() {
    if (m_lastPass.isValid() && m_lastPass.elapsed() < kEventPassInterval) return;
    QCoreApplication::processEvents();
    m_lastPass.start();
}

void QtPlatform::postToGui(std::function<void()> fn) {
    // Queued into the GUI thread's event queue; safe from any thread.
    if (auto* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
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

std::optional<std::string> QtPlatform::saveFile(const std::string& title,
                                                const std::string& filterName,
                                                const std::string& filterMask) {
    const QString filter = toQ(filterName) + QStringLiteral(" (") + toQ(filterMask) + ')';
    const QString path = QFileDialog::getSaveFileName(m_parent, toQ(title), QString(), filter);
    if (path.isEmpty()) return std::nullopt;
    return pathFromQ(path);
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
