#pragma once
// What must be settled before the QApplication exists.

namespace ui {

// Qt WebEngine refuses to start as root unless its sandbox is switched off,
// and it needs contexts shared across windows set before the application
// object is made. Also quietens the web engine's own log output.
void prepareApplicationEnvironment();

} // namespace ui
