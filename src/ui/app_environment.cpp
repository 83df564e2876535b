#include "ui/app_environment.h"

#include <QCoreApplication>
#include <QtGlobal>
#include <unistd.h>

namespace ui {

void prepareApplicationEnvironment() {
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

} // namespace ui
