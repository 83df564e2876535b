// config.txt: two lines, account and password. It lives beside the executable;
// a program installed in a folder the user cannot write keeps it in the user's
// configuration folder instead ($XDG_CONFIG_HOME, default ~/.config, in a
// folder named after the program). A program installed in a system folder
// always keeps it there.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>

#include "app/Unit1.h"
#include "engine/files.h"
#include "protocol/codepage.h"

namespace {

// The file's content; empty when it does not exist or cannot be read.
std::optional<std::string> readConfigFile(const std::string& gbkPathName) {
    std::ifstream in(fsPath(gbkPathName), std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return content.str();
}

// The user's configuration folder of this program, in file-system bytes,
// without a final separator; empty when the environment names none.
std::string userConfigDir() {
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the XDG rules say.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return std::string(xdg) + "/wyc";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.config/wyc";
    return {};
}

// Creates `dir` and the folders above it that are missing, each owner-only
// (as the XDG rules ask of the base folder).
void makeConfigDir(const std::string& dir) {
    for (size_t end = dir.find('/', 1);; end = dir.find('/', end + 1)) {
        const std::string part = dir.substr(0, end);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            throw std::runtime_error(cp::G("无法创建文件夹 ") + gbkPath(part) + ": " +
                                     std::strerror(errno));
        if (end == std::string::npos) break;
    }
}

// A program installed under /usr (or /bin, /sbin) never writes beside itself,
// even when it runs as root and could: those folders belong to the package
// manager.
bool inSystemFolder(const std::string& dir) {
    for (const char* top : {"/usr/", "/bin/", "/sbin/"})
        if (dir.rfind(top, 0) == 0) return true;
    return false;
}

} // namespace

std::string TForm1::configPath() const {
    return m_configPath.empty() ? ProgramDir() + "config.txt" : m_configPath;
}

void TForm1::readConfigAtStartup() {
    m_configPath = ProgramDir() + "config.txt";
    auto take = [this](const std::optional<std::string>& content) {
        ConfigLines.clear();
        if (content) ConfigLines = linesOf(*content);
        if (content && ConfigLines.size() == 2) {
            edt2.setText(ConfigLines[0]);
            bsknpswrdt1.setText(ConfigLines[1]);
        } else {
            ConfigLines.assign(2, std::string());
        }
    };
    const bool systemFolder = inSystemFolder(fsPath(ProgramDir()));
    take(systemFolder ? std::nullopt : readConfigFile(m_configPath));
    std::string besideProgram = cp::G("程序位于系统文件夹 ") + ProgramDir();
    if (!systemFolder) {
        try {
            writeConfig();
            return;
        } catch (const std::exception& e) {
            besideProgram = e.what();
        }
    }
    // The program's folder is not writable (or not its to write): the copy in the user's folder,
    // once there, is the one that holds the saved account.
    const std::string dir = userConfigDir();
    try {
        if (dir.empty()) throw std::runtime_error(cp::G("未设置 HOME 环境变量"));
        m_configPath = gbkPath(dir + "/config.txt");
        if (auto content = readConfigFile(m_configPath)) take(content);
        makeConfigDir(dir);
        writeConfig();
    } catch (const std::exception& e) {
        // Start-up goes on without a place to remember the account.
        m_platform.showError(cp::G("无法保存账号设置（config.txt），账号和密码不会被记住。\r\n") +
                             besideProgram + "\r\n" + e.what());
    }
}

void TForm1::writeConfig() {
    // The password is kept in clear for compatibility, so only the owner may
    // read the file.
    writeWholeFile(configPath(), textOf(ConfigLines), true);
}
