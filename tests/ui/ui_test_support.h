#pragma once
// Helpers of the Qt window tests.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QThread>
#include <functional>
#include <string>
#include <vector>

#include "ui/qt_platform.h"
#include "ui/qt_text.h"

// UTF-16 from a UTF-8 literal, to compare with widget texts.
inline QString q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// Runs the event loop until `done` holds or `timeoutMs` has passed.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 15000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

// The Qt platform with its message boxes recorded instead of shown: a modal
// box would wait forever on the offscreen platform.
class QuietQtPlatform : public ui::QtPlatform {
  public:
    void showMessage(const std::string& text) override { messages.push_back(text); }
    void showError(const std::string& text) override { errors.push_back(text); }
    std::vector<std::string> messages;
    std::vector<std::string> errors;
};
