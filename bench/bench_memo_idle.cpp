// The window with a large new article: the CPU the program takes while it
// only shows the article, and the time a keystroke in it takes (target: no
// CPU while idle). Run it on a display (Xvfb) or QT_QPA_PLATFORM=offscreen.
//   bench_memo_idle [MEGABYTES]   (default 5, one paragraph)
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "app/Unit1.h"
#include "protocol/codepage.h"
#include "support/fixtures.h"
#include "ui/app_environment.h"
#include "ui/main_window.h"
#include "ui/qt_platform.h"

namespace {

double cpuSeconds() {
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop for `ms` milliseconds.
void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// A GBK article of `bytes` bytes in one paragraph: common characters and
// commas, no line break.
std::string oneParagraph(size_t bytes) {
    std::mt19937 rng(3);
    std::string text;
    text.reserve(bytes + 2);
    while (text.size() < bytes) {
        if (rng() % 20 == 0) {
            text += "\xA3\xAC"; // ，
        } else {
            text += static_cast<char>(0xB0 + rng() % 39);
            text += static_cast<char>(0xA1 + rng() % 94);
        }
    }
    return text;
}

class SilentPlatform : public ui::QtPlatform {
  public:
    void showMessage(const std::string&) override {}
    void showError(const std::string& t) override {
        std::printf("error: %s\n", cp::gbkToUtf8(t).c_str());
    }
};

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    ui::prepareApplicationEnvironment();
    QApplication app(argc, argv);
    const double megabytes = argc > 1 ? std::atof(argv[1]) : 5.0;
    TempDir dir;
    makeDatabase(dir.path() / "setting.dat", {{"美丽", "漂亮"}});
    ScopedCwd cwd(dir.path());
    SilentPlatform platform;
    TForm1 form(platform, FormOptions{dir.dirText(), 1});
    ui::MainWindow window(form);
    form.FormCreate();
    window.show();
    runFor(500);

    const std::string article = oneParagraph(static_cast<size_t>(megabytes * 1e6));
    QElapsedTimer shown;
    shown.start();
    form.Memo2.setText(article);
    form.bsSkinPageControl1.setActivePage(1);
    QCoreApplication::processEvents();
    std::printf("%.1f MB article shown on the new-article page in %lld ms\n", megabytes,
                static_cast<long long>(shown.elapsed()));
    auto* editor = window.findChild<QPlainTextEdit*>(QStringLiteral("Memo2"));
    // Focused in an active window, as after a click in the article: the
    // cursor blinks.
    window.activateWindow();
    editor->setFocus();
    runFor(1000);
    std::printf("window active: %s, editor focused: %s\n", window.isActiveWindow() ? "yes" : "no",
                editor->hasFocus() ? "yes" : "no");

    const double before = cpuSeconds();
    runFor(5000);
    std::printf("idle: %.1f%% of a core over 5 s\n", (cpuSeconds() - before) / 5.0 * 100.0);

    const int keys = 5;
    QElapsedTimer typing;
    typing.start();
    for (int i = 0; i < keys; ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(editor, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(editor, &release);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    std::printf("keystroke: %.1f ms each (model text %zu bytes)\n",
                static_cast<double>(typing.elapsed()) / keys, form.Memo2.text().size());
    const double after = cpuSeconds();
    runFor(3000);
    std::printf("idle after typing: %.1f%% of a core over 3 s\n",
                (cpuSeconds() - after) / 3.0 * 100.0);
    return 0;
}
