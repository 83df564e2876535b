#pragma once
// Qt's own texts (the buttons of message boxes, the file dialogs) in Chinese,
// like the rest of the window.
class QCoreApplication;
class QTranslator;

namespace ui {

// Installs Qt's Simplified Chinese translations from the system's Qt
// translations folder (Debian: qt6-translations-l10n). Returns the installed
// translator, owned by `app`, or nullptr when the files are missing, in which
// case Qt keeps its English texts.
QTranslator* installQtChineseTranslations(QCoreApplication& app);

} // namespace ui
