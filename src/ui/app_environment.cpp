#include "ui/app_environment.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QtGlobal>
#include <unistd.h>

namespace ui {

void prepareApplicationEnvironment() {
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The web engine's start-up report and the console messages of the pages
    // it shows mean nothing to the user; QT_LOGGING_RULES can still turn them on.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext=false\njs=false"));
}

} // namespace ui
