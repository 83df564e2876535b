#include "batch/source_files.h"

#include <algorithm>
#include <dirent.h>
#include <stdexcept>
#include <string_view>
#include <sys/stat.h>

#include "engine/files.h"
#include "engine/textutil.h"
#include "protocol/codepage.h"

namespace batch {

using cp::G;

namespace {

bool endsIn(const std::string& name, std::string_view end) {
    if (name.size() < end.size()) return false;
    for (size_t i = 0; i < end.size(); ++i) {
        char c = name[name.size() - end.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != end[i]) return false;
    }
    return true;
}

} // namespace

std::vector<std::string> listArticles(const std::string& dir, bool pages) {
    std::vector<std::string> names;
    const std::string fsDir = fsPath(dir.empty() ? std::string(".") : dir);
    DIR* d = ::opendir(fsDir.c_str());
    if (!d) return names;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (!endsIn(name, ".txt") && !(pages && (endsIn(name, ".htm") || endsIn(name, ".html"))))
            continue;
        struct stat st {};
        const std::string full = fsDir + (fsDir.back() == '/' ? "" : "/") + name;
        if (::stat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        names.push_back(gbkPath(name));
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

// Why a text file could not be read or written, in Chinese.
std::string reasonOf(const textfile::TextFileError& e) {
    switch (e.reason) {
    case textfile::TextFileError::Reason::NotRegularFile:
        return G("不是普通文件，未读取");
    case textfile::TextFileError::Reason::TooLarge:
        return G("文件大于64MB，未读取");
    case textfile::TextFileError::Reason::System:
        break;
    }
    return systemErrorText(e.error);
}

} // namespace

textfile::TextFile readArticle(const std::string& path) {
    try {
        return textfile::readTextFile(fsPath(path));
    } catch (const textfile::TextFileError& e) {
        throw std::runtime_error(G("无法读取文件 ") + path + G("：") + reasonOf(e));
    }
}

void writeArticle(const std::string& path, const std::string& text, textfile::Encoding encoding) {
    try {
        textfile::writeTextFile(fsPath(path), text, encoding);
    } catch (const textfile::TextFileError& e) {
        throw std::runtime_error(G("无法写入文件 ") + path + G("：") + reasonOf(e));
    }
}

} // namespace batch
