// config.txt beside the executable: two lines, account and password.
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/Unit1.h"
#include "app/files.h"

std::string TForm1::configPath() const {
    return ProgramDir() + "config.txt";
}

void TForm1::readConfigAtStartup() {
    ConfigLines.clear();
    std::ifstream in(fsPath(configPath()), std::ios::binary);
    std::ostringstream content;
    bool readOk = false;
    if (in) {
        content << in.rdbuf();
        readOk = !in.bad();
    }
    if (readOk) {
        ConfigLines = linesOf(content.str());
        if (ConfigLines.size() == 2) {
            edt2.setText(ConfigLines[0]);
            bsknpswrdt1.setText(ConfigLines[1]);
        } else {
            ConfigLines.assign(2, std::string());
        }
    } else {
        ConfigLines.assign(2, std::string());
    }
    writeConfig();
}

void TForm1::writeConfig() {
    // The password is kept in clear for compatibility, so only the owner may
    // read the file.
    writeWholeFile(configPath(), textOf(ConfigLines), true);
}
