// A download-list run in the window: the list of LINES addresses of the
// companion server's sample articles (run in this process on a free loopback
// port) fetched and written to files while the list is shown on the batch
// page. Measures how long the run takes until the list on the screen shows
// every marker, and the longest time the event loop was held (sampled by a
// 5 ms timer). Run it on a display (Xvfb) or QT_QPA_PLATFORM=offscreen.
//
// Target: no event-loop stall longer than 100 ms, and every marker on the
// screen within moments of the last answer (compare "all answers handled"
// with bench_batch_server's figure for the same number of lines).
//
//   bench_batch_window [LINES]   (default 20000)
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/Unit1.h"
#include "protocol/codepage.h"
#include "server/vendor_server.h"
#include "support/fixtures.h"
#include "ui/app_environment.h"
#include "ui/main_window.h"
#include "ui/qt_platform.h"

namespace {

namespace fs = std::filesystem;

class SilentPlatform : public ui::QtPlatform {
  public:
    void showMessage(const std::string&) override {}
    void showError(const std::string& t) override {
        std::printf("error: %s\n", cp::gbkToUtf8(t).c_str());
        ++errors;
    }
    int errors = 0; // error boxes shown: each fails the run
};

size_t count(const QString& text, const QString& what) {
    return static_cast<size_t>(text.count(what));
}

// Runs the event loop until `done` holds or `seconds` pass; false on time-out.
bool runUntil(const std::function<bool()>& done, double seconds) {
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() > static_cast<qint64>(seconds * 1000)) loop.quit();
    });
    poll.start(20);
    loop.exec();
    return done();
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    ui::prepareApplicationEnvironment();
    QApplication app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 20000;

    TempDir dir;
    makeDatabase(dir.path() / "setting.dat", {{"春天", "春季"}, {"美丽", "漂亮"}});
    ScopedCwd cwd(dir.path());
    fs::create_directories(dir.path() / "out");
    ServerOptions options;
    options.port = 0;
    options.dataFile = (dir.path() / "server.db").string();
    options.starterPairs = false;
    wycserver::VendorServer server(options);
    const std::string base = "http://127.0.0.1:" + std::to_string(server.start());

    SilentPlatform platform;
    TForm1 form(platform, FormOptions{dir.dirText(), 1});
    ui::MainWindow window(form);
    form.FormCreate();
    window.show();
    form.LoggedIn = true;
    form.edt4.setText((dir.path() / "out").string());
    form.bsknrdgrp2.setItemIndex(1);
    form.bsSkinPageControl1.setActivePage(4);
    std::string list;
    for (int i = 1; i <= lines; ++i)
        list += base + "/get_test.asp?id=" + std::to_string(i) + "\r\n";
    form.mmo2.setText(list);
    runUntil([] { return false; }, 0.5);
    auto* editor = window.findChild<QPlainTextEdit*>(QStringLiteral("mmo2"));
    const QString done = QString::fromUtf8("[完毕]");

    // The longest time between two ticks of a 5 ms timer while the run goes.
    QElapsedTimer tick;
    qint64 stall = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { stall = std::max(stall, tick.restart()); });

    QElapsedTimer run;
    run.start();
    tick.start();
    sampler.start(5);
    QTimer::singleShot(0, [&] { form.run([&] { form.btn11Click(); }); });
    qint64 answered = -1;
    const bool finished = runUntil(
        [&] {
            if (answered < 0 && form.Requests.empty() && form.BatchTotal == lines)
                answered = run.elapsed();
            return answered >= 0 && count(editor->toPlainText(), done) == size_t(lines);
        },
        300);
    const qint64 shown = run.elapsed();
    sampler.stop();

    const long files = std::distance(fs::directory_iterator(dir.path() / "out"), {});
    std::printf("%d lines, %ld files, %s\n", lines, files,
                finished ? "all marked on screen" : "NOT FINISHED");
    std::printf("all answers handled after %8lld ms\n", static_cast<long long>(answered));
    std::printf("all markers on screen after %6lld ms\n", static_cast<long long>(shown));
    std::printf("longest event-loop stall %9lld ms (target <= 100)\n",
                static_cast<long long>(stall));
    server.stop();
    if (platform.errors > 0) std::printf("%d error boxes shown\n", platform.errors);
    return finished && files == lines && stall <= 100 && platform.errors == 0 ? 0 : 1;
}
