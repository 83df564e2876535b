#include "engine/text_file.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "protocol/codepage.h"

namespace textfile {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

[[noreturn]] void systemError(const std::string& what, int err) {
    throw TextFileError(TextFileError::Reason::System, what + ": " + std::strerror(err), err);
}

[[noreturn]] void tooLarge() {
    throw TextFileError(TextFileError::Reason::TooLarge, "larger than 64 MB; not read");
}

// Reads fd to its end, refusing more than the bound.
std::string readBounded(int fd, std::uint64_t sizeHint) {
    std::string data;
    if (sizeHint > 0) data.reserve(static_cast<size_t>(sizeHint));
    char buf[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buf, sizeof buf);
        if (got < 0) {
            if (errno == EINTR) continue;
            systemError("cannot read", errno);
        }
        if (got == 0) return data;
        if (data.size() + static_cast<size_t>(got) > kMaxTextFileBytes) tooLarge();
        data.append(buf, static_cast<size_t>(got));
    }
}

std::u16string unitsOf(std::string_view bytes, bool little) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        units.push_back(static_cast<char16_t>(little ? (b << 8 | a) : (a << 8 | b)));
    }
    return units;
}

} // namespace

Encoding detectEncoding(std::string_view bytes) {
    if (bytes.substr(0, 3) == kUtf8Bom) return Encoding::Utf8Bom;
    if (bytes.substr(0, 2) == "\xFF\xFE") return Encoding::Utf16Le;
    if (bytes.substr(0, 2) == "\xFE\xFF") return Encoding::Utf16Be;
    bool ascii = true;
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    return !ascii && cp::isValidUtf8(bytes) ? Encoding::Utf8 : Encoding::Gbk;
}

std::string decode(std::string_view bytes, Encoding encoding) {
    switch (encoding) {
    case Encoding::Gbk:
        return std::string(bytes);
    case Encoding::Utf8:
        return cp::utf8ToGbk(bytes);
    case Encoding::Utf8Bom:
        return cp::utf8ToGbk(bytes.substr(bytes.substr(0, 3) == kUtf8Bom ? 3 : 0));
    case Encoding::Utf16Le:
    case Encoding::Utf16Be: {
        const std::string_view body = bytes.substr(std::min<size_t>(2, bytes.size()));
        std::string text = cp::utf16ToGbk(unitsOf(body, encoding == Encoding::Utf16Le));
        if (body.size() % 2 != 0) text += '?'; // a dangling half unit
        return text;
    }
    }
    return std::string(bytes);
}

Encoding writtenAs(Encoding encoding) {
    return encoding == Encoding::Utf16Le || encoding == Encoding::Utf16Be ? Encoding::Utf8Bom
                                                                          : encoding;
}

std::string encode(std::string_view gbk, Encoding encoding) {
    switch (writtenAs(encoding)) {
    case Encoding::Utf8:
        return cp::gbkToUtf8(gbk);
    case Encoding::Utf8Bom:
        return std::string(kUtf8Bom) + cp::gbkToUtf8(gbk);
    default:
        return std::string(gbk);
    }
}

std::string readBytes(const std::string& fsPath, bool allowStdin) {
    if (allowStdin && fsPath == "-") return readBounded(STDIN_FILENO, 0);
    // Without O_NONBLOCK, opening a FIFO would wait for a writer.
    const int fd = ::open(fsPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) systemError("cannot open", errno);
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) systemError("cannot read", errno);
    if (!S_ISREG(st.st_mode))
        throw TextFileError(TextFileError::Reason::NotRegularFile, "not a regular file; not read");
    if (static_cast<std::uint64_t>(st.st_size) > kMaxTextFileBytes) tooLarge();
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return readBounded(fd, static_cast<std::uint64_t>(st.st_size));
}

TextFile readTextFile(const std::string& fsPath, bool allowStdin) {
    const std::string bytes = readBytes(fsPath, allowStdin);
    TextFile file;
    file.encoding = detectEncoding(bytes);
    file.text = decode(bytes, file.encoding);
    return file;
}

void writeTextFile(const std::string& fsPath, std::string_view gbk, Encoding encoding) {
    const std::string bytes = encode(gbk, encoding);
    // A symbolic link stays a link: the file it points to is replaced.
    std::string target = fsPath;
    if (char* real = ::realpath(fsPath.c_str(), nullptr)) {
        target = real;
        std::free(real);
    }
    const auto slash = target.find_last_of('/');
    const std::string dir = slash == std::string::npos ? std::string(".") : target.substr(0, slash);
    // A new file gets the permissions the process's umask gives (the kernel
    // applies it to 0666 at creation); an existing file keeps its own.
    static std::atomic<unsigned> counter{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        temp = dir + "/.wyc-" + std::to_string(::getpid()) + "-" +
               std::to_string(counter.fetch_add(1)) + ".tmp";
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || attempt > 100)) systemError("cannot write", errno);
    }
    auto fail = [&](int err) {
        ::close(fd);
        ::unlink(temp.c_str());
        systemError("cannot write", err);
    };
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0 && ::fchmod(fd, st.st_mode & 07777) != 0) fail(errno);
    for (size_t off = 0; off < bytes.size();) {
        const ssize_t w = ::write(fd, bytes.data() + off, bytes.size() - off);
        if (w < 0) {
            if (errno == EINTR) continue;
            fail(errno);
        }
        off += static_cast<size_t>(w);
    }
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        systemError("cannot write", err);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        systemError("cannot write", err);
    }
}

} // namespace textfile
