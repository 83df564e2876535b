// The Qt platform: hand-over to the GUI thread, ending before the event loop
// runs, and the banner's style script on pages with and without a body.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QTranslator>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

#include "support/fixtures.h"
#include "support/recording_platform.h"
#include "ui/banner_document.h"
#include "ui/translations.h"
#include "ui_test_support.h"

namespace {

TEST(QtPlatformTest, PostedWorkRunsOnTheGuiThread) {
    ui::QtPlatform platform;
    std::atomic<QThread*> ranOn{nullptr};
    std::thread worker([&] { platform.postToGui([&] { ranOn = QThread::currentThread(); }); });
    worker.join();
    ASSERT_TRUE(waitUntil([&] { return ranOn.load() != nullptr; }));
    EXPECT_EQ(ranOn.load(), QCoreApplication::instance()->thread());
}

TEST(QtPlatformTest, ABacklogOfHandedOverWorkLetsTheWindowRunBetween) {
    ui::QtPlatform platform;
    // 60 answers of 2 ms each arrive before the window gets to them; a timer
    // due meanwhile runs long before the last of them, and all run in order.
    std::vector<int> order;
    int ranBeforeTimer = -1;
    for (int i = 0; i < 60; ++i)
        platform.postToGui([&order, i] {
            const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(2);
            while (std::chrono::steady_clock::now() < end) {
            }
            order.push_back(i);
        });
    QTimer::singleShot(0, [&] { ranBeforeTimer = static_cast<int>(order.size()); });
    ASSERT_TRUE(waitUntil([&] { return order.size() == 60; }));
    EXPECT_GE(ranBeforeTimer, 0);
    EXPECT_LT(ranBeforeTimer, 30);
    for (int i = 0; i < 60; ++i)
        EXPECT_EQ(order[static_cast<size_t>(i)], i);
}

TEST(QtPlatformTest, HandedOverWorkThatLetsEventsRunGetsNoOtherWorkInside) {
    ui::QtPlatform platform;
    // Each piece starts a request, as an answer's handler does: events run.
    std::vector<std::string> steps;
    for (int i = 0; i < 3; ++i)
        platform.postToGui([&platform, &steps, i] {
            steps.push_back("begin " + std::to_string(i));
            std::this_thread::sleep_for(
                std::chrono::milliseconds(ui::QtPlatform::kEventPassInterval + 2));
            platform.processEvents();
            steps.push_back("end " + std::to_string(i));
        });
    ASSERT_TRUE(waitUntil([&] { return steps.size() == 6; }));
    EXPECT_EQ(steps, (std::vector<std::string>{"begin 0", "end 0", "begin 1", "end 1", "begin 2",
                                               "end 2"}));
}

TEST(QtPlatformTest, TerminateBeforeTheEventLoopIsKeptForMain) {
    ui::QtPlatform platform;
    EXPECT_FALSE(platform.earlyExitCode());
    platform.terminate(1);
    EXPECT_EQ(platform.earlyExitCode(), 1);
}

TEST(QtPlatformTest, QtsOwnButtonsAndDialogsSpeakChinese) {
    QTranslator* translator = ui::installQtChineseTranslations(*QCoreApplication::instance());
    ASSERT_NE(translator, nullptr) << "Qt's Chinese translations (qt6-translations-l10n) missing";
    QMessageBox box(QMessageBox::Question, QString(), QString(),
                    QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), q("确定"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), q("取消"));
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), q("查找范围："));
    QCoreApplication::removeTranslator(translator);
    delete translator;
}

TEST(BannerDocumentTest, ScriptIsSafeJavaScript) {
    ui::ScriptedBannerDocument document;
    EXPECT_TRUE(document.script().isEmpty());
    document.setBodyStyleMargin(g("0\";alert(1);\""));
    EXPECT_TRUE(document.script().contains(QStringLiteral(R"("0\";alert(1);\"")")));
}

// Runs the banner handler on a page made from `html` and returns what the
// script answered (whether the page had a body) and the body's styles.
struct BannerResult {
    bool done = false;
    QVariant hadBody;
    QString styles;
};

BannerResult runBanner(const QByteArray& content, const QString& mimeType) {
    RecordingPlatform platform;
    TForm1 form(platform, FormOptions{"/tmp/", 1});
    QWebEngineView view;
    bool loaded = false;
    QObject::connect(&view, &QWebEngineView::loadFinished, [&] { loaded = true; });
    view.setContent(content, mimeType);
    EXPECT_TRUE(waitUntil([&] { return loaded; }));

    ui::ScriptedBannerDocument document;
    form.WebBrowser1DocumentComplete(document);
    BannerResult result;
    view.page()->runJavaScript(document.script(), [&](const QVariant& v) {
        result.hadBody = v;
        view.page()->runJavaScript(
            QStringLiteral("document.body ? [document.body.scroll, document.body.style.margin,"
                           " document.body.style.borderWidth, document.body.style.overflow]"
                           ".join('|') : ''"),
            [&](const QVariant& s) {
                result.styles = s.toString();
                result.done = true;
            });
    });
    EXPECT_TRUE(waitUntil([&] { return result.done; }));
    return result;
}

TEST(BannerDocumentTest, StylesAreSetOnAPageWithABody) {
    const BannerResult r =
        runBanner("<html><body style='margin:30px;border:5px solid red'>x</body></html>",
                  QStringLiteral("text/html"));
    ASSERT_TRUE(r.done);
    EXPECT_EQ(r.hadBody.toBool(), true);
    EXPECT_EQ(r.styles, QStringLiteral("no|0px|0px|hidden"));
}

TEST(BannerDocumentTest, APageWithoutABodyIsLeftAlone) {
    const BannerResult r =
        runBanner("<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'/>",
                  QStringLiteral("image/svg+xml"));
    ASSERT_TRUE(r.done);
    EXPECT_EQ(r.hadBody.toBool(), false);
    EXPECT_EQ(r.styles, QString());
}

} // namespace
