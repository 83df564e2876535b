// The program: the application object, the main window over its model, the
// start-up sequence, then the event loop.
#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "app/Unit1.h"
#include "engine/files.h"
#include "net/vendor.h"
#include "ui/app_environment.h"
#include "ui/main_window.h"
#include "ui/qt_platform.h"
#include "ui/qt_text.h"
#include "ui/translations.h"

int main(int argc, char** argv) {
    // Answered before the application object exists, which needs a display.
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("wyc %s\n", WYC_VERSION);
            return 0;
        }
    }
    ui::prepareApplicationEnvironment();
    QApplication app(argc, argv);
    // The desktop entry and the icon installed with the program.
    QGuiApplication::setDesktopFileName(QStringLiteral(WYC_APP_ID));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(WYC_APP_ID)));
    ui::installQtChineseTranslations(app);
    QCoreApplication::setApplicationName(ui::toQ(TForm1::applicationTitle()));

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption server(QStringLiteral("server"),
                                    QStringLiteral("Base address of the vendor server."),
                                    QStringLiteral("URL"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Seed of the shuffle's random generator."),
                                  QStringLiteral("N"));
    // For the start-up benchmark: end as soon as the window has been shown
    // with the thesaurus loaded.
    const QCommandLineOption quitWhenReady(
        QStringLiteral("quit-when-ready"),
        QStringLiteral("End once the window is shown (benchmarks)."));
    parser.addOption(server);
    parser.addOption(seed);
    parser.addOption(quitWhenReady);
    parser.addOption(QCommandLineOption(QStringLiteral("version"),
                                        QStringLiteral("Print the version and end.")));
    parser.process(app);

    // Edit defaults and link addresses are built from the base address when
    // the form is made, so it is replaced first.
    if (parser.isSet(server)) vendor::setBaseAddress(parser.value(server).toStdString());
    FormOptions options;
    options.programDir = executableDir();
    if (parser.isSet(seed)) {
        bool ok = false;
        const qulonglong value = parser.value(seed).toULongLong(&ok);
        if (!ok) {
            std::fprintf(stderr, "--seed needs a non-negative integer\n");
            return 2;
        }
        options.seed = value;
    }

    ui::QtPlatform platform;
    TForm1 form(platform, options);
    ui::MainWindow window(form);
    // Boxes shown during start-up stand in the middle of the screen; later
    // ones over the window.
    form.FormCreate();
    if (auto code = platform.earlyExitCode()) return *code;

    window.restoreSize();
    window.centreOnScreen();
    window.show();
    platform.setDialogParent(&window);
    if (parser.isSet(quitWhenReady)) QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return QApplication::exec();
}
