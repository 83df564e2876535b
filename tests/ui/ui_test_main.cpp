#include <QApplication>
#include <gtest/gtest.h>

#include "support/fixtures.h"
#include "ui/app_environment.h"

int main(int argc, char** argv) {
    isolateUserData();
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ui::prepareApplicationEnvironment();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
