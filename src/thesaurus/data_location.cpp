// The file is made under a temporary name in the user's folder and linked to
// its real name only when it is complete, so an interrupted first start never
// leaves a half-made setting.dat that the next start would have to refuse.
// link() fails when the name is taken: a second program making the file at the
// same moment keeps the first one's and drops its own.
#include "thesaurus/data_location.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

#include "protocol/codepage.h"
#include "sqlitedb/sqlite.h"
#include "thesaurus/keyword_store.h"
#include "thesaurus/tab_pairs.h"

namespace datafile {
namespace {

constexpr const char* kFileName = "setting.dat";

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string absoluteEnv(const char* name) {
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? std::string(value) : std::string();
}

[[noreturn]] void notMade(const std::string& file, const std::string& why) {
    throw DataFileError(DataFileError::Kind::NotMade, Origin::MadeFromStarter, file,
                        "cannot make the thesaurus database " + file +
                            " from the starter thesaurus: " + why);
}

// Makes `dir` and the missing folders above it, each readable by its owner only.
void makeFolders(const std::string& dir, const std::string& file) {
    for (size_t end = dir.find('/', 1);; end = dir.find('/', end + 1)) {
        const std::string part = dir.substr(0, end);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            notMade(file, part + ": " + std::strerror(errno));
        if (end == std::string::npos) break;
    }
}

std::string readStarter(const std::string& list, const std::string& file) {
    std::ifstream in(list, std::ios::binary);
    try {
        std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.good() || in.eof()) return content;
    } catch (const std::exception&) {
        // a folder in the list's place: the stream reports it by throwing
    }
    notMade(file, "cannot read " + list);
}

Location make(const Places& places, const std::string& file) {
    const tabpairs::Parsed pairs = tabpairs::parse(readStarter(places.starterList, file));
    makeFolders(places.userDir, file);

    std::string temp = places.userDir + "/." + kFileName + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) notMade(file, places.userDir + ": " + std::strerror(errno));
    ::close(fd);
    ::unlink(temp.c_str()); // the store makes the file itself, under the name just reserved
    bool madeHere = true;
    try {
        tabpairs::createStore(temp, pairs);
        if (::chmod(temp.c_str(), 0600) != 0) notMade(file, temp + ": " + std::strerror(errno));
        // A file system without hard links may still rename without replacing.
        if (::link(temp.c_str(), file.c_str()) != 0 &&
            (errno == EEXIST ||
             ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, file.c_str(), RENAME_NOREPLACE) != 0)) {
            if (errno != EEXIST) notMade(file, std::strerror(errno));
            madeHere = false; // another program made it meanwhile
        }
    } catch (const DbError& e) {
        ::unlink(temp.c_str());
        notMade(file, e.what());
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
    ::unlink(temp.c_str());
    return {file, madeHere ? Origin::MadeFromStarter : Origin::UserFolder};
}

std::string programText(const std::string& text) {
    return cp::isValidUtf8(text) ? cp::utf8ToGbk(text) : text;
}

} // namespace

std::string userDataDir() {
    if (std::string xdg = absoluteEnv("XDG_DATA_HOME"); !xdg.empty()) return xdg + "/wyc";
    if (std::string home = absoluteEnv("HOME"); !home.empty()) return home + "/.local/share/wyc";
    return {};
}

std::string starterListFor(const std::string& programDir) {
    return programDir + "../share/wyc/synonyms.txt";
}

Places placesFor(const std::string& programDir) {
    Places places;
    places.userDir = userDataDir();
    places.starterList = starterListFor(programDir);
    return places;
}

Location locate(const Places& places) {
    if (exists(places.workingFile)) return {places.workingFile, Origin::WorkingFolder};
    if (places.userDir.empty())
        throw DataFileError(DataFileError::Kind::NotFound, Origin::WorkingFolder,
                            places.workingFile,
                            "no " + places.workingFile +
                                " in the working folder, and neither XDG_DATA_HOME nor HOME"
                                " names a data folder");
    const std::string file = places.userDir + "/" + kFileName;
    if (exists(file)) return {file, Origin::UserFolder};
    if (places.starterList.empty() || !exists(places.starterList))
        throw DataFileError(
            DataFileError::Kind::NotFound, Origin::UserFolder, file,
            "no " + places.workingFile + " in the working folder nor " + file +
                ", and no starter thesaurus to make one from" +
                (places.starterList.empty() ? "" : " (" + places.starterList + " is missing)"));
    return make(places, file);
}

Opened open(const Places& places) {
    Opened opened{locate(places), nullptr};
    try {
        opened.store = KeywordStore::open(opened.where.path);
    } catch (const DbError& e) {
        throw DataFileError(DataFileError::Kind::Unusable, opened.where.origin, opened.where.path,
                            opened.where.path + ": " + e.what());
    }
    return opened;
}

std::string failureText(const DataFileError& error) {
    const std::string path = cp::fsToGbk(error.path());
    switch (error.kind()) {
    case DataFileError::Kind::Unusable:
        if (error.origin() != Origin::WorkingFolder)
            return cp::G("词库文件“") + path +
                   cp::G("”已损坏或无法读取，程序没有改动它。\n"
                         "请用备份替换它；或者把它移走，下次启动时程序会用初始词库重新建立。"
                         "\n\n技术信息：") +
                   programText(error.what());
        break;
    case DataFileError::Kind::NotMade:
        return cp::G("无法用初始词库建立词库文件“") + path + cp::G("”。\n\n技术信息：") +
               programText(error.what());
    case DataFileError::Kind::NotFound:
        break;
    }
    // The working folder's file, or none anywhere: the program's long-standing message.
    return cp::G("文件不完整“setting.dat”不存在");
}

std::string madeNote(const Location& made) {
    // The home folder is written "~", so the path fits the status line.
    std::string path = made.path;
    const std::string home = absoluteEnv("HOME");
    if (home.size() > 1 && path.rfind(home + "/", 0) == 0) path = "~" + path.substr(home.size());
    return cp::G("【提示信息】初始化完毕，已用初始词库新建 ") + cp::fsToGbk(path);
}

} // namespace datafile
