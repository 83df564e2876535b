#include "ui/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace ui {

QTranslator* installQtChineseTranslations(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    // "qt_zh_CN" gathers the catalogues of every Qt module installed.
    if (!translator->load(QStringLiteral("qt_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

} // namespace ui
