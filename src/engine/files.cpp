#include "engine/files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include "protocol/codepage.h"

std::string fsPath(const std::string& gbk) {
    return cp::gbkToFs(gbk);
}

std::string gbkPath(const std::string& fs) {
    return cp::fsToGbk(fs);
}

void writeWholeFile(const std::string& gbkPathName, const std::string& bytes, bool ownerOnly) {
    const std::string path = fsPath(gbkPathName);
    const mode_t mode = ownerOnly ? 0600 : 0666;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    auto failure = [&](const char* what) {
        int err = errno;
        if (fd >= 0) ::close(fd);
        throw std::runtime_error(cp::G(what) + gbkPathName + ": " + std::strerror(err));
    };
    if (fd < 0) failure("无法创建文件 ");
    if (ownerOnly && ::fchmod(fd, 0600) != 0) failure("无法设置文件权限 ");
    size_t off = 0;
    while (off < bytes.size()) {
        ssize_t w = ::write(fd, bytes.data() + off, bytes.size() - off);
        if (w < 0) {
            if (errno == EINTR) continue;
            failure("无法写入文件 ");
        }
        off += static_cast<size_t>(w);
    }
    if (::close(fd) != 0) {
        fd = -1;
        failure("无法写入文件 ");
    }
}

std::string executableDir() {
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string p = n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string("./");
    auto cut = p.find_last_of('/');
    return gbkPath(cut == std::string::npos ? std::string("./") : p.substr(0, cut + 1));
}

bool isDirectory(const std::string& gbkPathName) {
    struct stat st {};
    return !gbkPathName.empty() && ::stat(fsPath(gbkPathName).c_str(), &st) == 0 &&
           S_ISDIR(st.st_mode);
}

void makeDirectories(const std::string& gbkPathName) {
    const std::string path = fsPath(gbkPathName);
    if (path.empty()) throw std::runtime_error(cp::G("没有给出目录"));
    // Each missing level in turn, from the top down.
    for (size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
        const std::string part = path.substr(0, at);
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            throw std::runtime_error(systemErrorText(errno));
        if (at == std::string::npos) break;
    }
    if (!isDirectory(gbkPathName)) throw std::runtime_error(systemErrorText(ENOTDIR));
}

std::string systemErrorText(int err) {
    switch (err) {
    case ENOENT:
        return cp::G("文件或目录不存在");
    case EACCES:
    case EPERM:
        return cp::G("没有权限");
    case ENOSPC:
        return cp::G("磁盘已满");
    case EDQUOT:
        return cp::G("超出磁盘配额");
    case EROFS:
        return cp::G("文件系统只读");
    case EISDIR:
        return cp::G("这是一个目录");
    case ENOTDIR:
        return cp::G("路径中有一段不是目录");
    case ENAMETOOLONG:
        return cp::G("文件名太长");
    case EEXIST:
        return cp::G("已经存在");
    case EMFILE:
    case ENFILE:
        return cp::G("打开的文件太多");
    case EIO:
        return cp::G("读写出错");
    default:
        return cp::G("系统错误（代码 ") + std::to_string(err) + cp::G("）");
    }
}
