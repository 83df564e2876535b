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
