#pragma once
// Article files: read in whatever encoding they were saved in, into the
// program's GBK text, and written back in that same encoding.
//
// Detection: a byte-order mark decides (UTF-8, UTF-16LE, UTF-16BE); otherwise
// well-formed UTF-8 with at least one non-ASCII character is UTF-8; anything
// else (GBK, GB18030, plain ASCII, and bytes that are valid in no encoding) is
// taken as GBK bytes as they stand.
//
// Reading refuses what is not a regular file (a FIFO, a device, a directory)
// and anything over kMaxTextFileBytes; standard input ("-" where a caller
// allows it) may be a pipe, and is read up to the same bound.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace textfile {

enum class Encoding {
    Gbk,     // GBK / GB18030 bytes, also plain ASCII
    Utf8,    // UTF-8 without a byte-order mark
    Utf8Bom, // UTF-8 with a byte-order mark
    Utf16Le, // UTF-16 with a little-endian byte-order mark
    Utf16Be, // UTF-16 with a big-endian byte-order mark
};

inline constexpr std::uint64_t kMaxTextFileBytes = 64ull * 1024 * 1024;

// A file that cannot be read or written. what() is a short English message
// (the caller names the file); `reason` tells callers that phrase their own
// messages why.
struct TextFileError : std::runtime_error {
    enum class Reason { NotRegularFile, TooLarge, System };
    TextFileError(Reason r, const std::string& message, int err = 0)
        : std::runtime_error(message), reason(r), error(err) {}
    Reason reason;
    int error; // the system's error number of a System failure
};

struct TextFile {
    std::string text; // GBK, without the byte-order mark
    Encoding encoding = Encoding::Gbk;
};

Encoding detectEncoding(std::string_view bytes);
// The bytes of a file in `encoding` as GBK text (a byte-order mark dropped).
std::string decode(std::string_view bytes, Encoding encoding);
// GBK text as the bytes of a file in `encoding`. UTF-16 is written as UTF-8
// with a byte-order mark: every editor that reads the one reads the other.
std::string encode(std::string_view gbk, Encoding encoding);
// The encoding encode() writes for a source read in `encoding`.
Encoding writtenAs(Encoding encoding);

// The bytes of the file at `fsPath` (file-system bytes; "-" is standard input
// when allowStdin), within the limits above. Throws TextFileError.
std::string readBytes(const std::string& fsPath, bool allowStdin = false);
// readBytes, detected and decoded.
TextFile readTextFile(const std::string& fsPath, bool allowStdin = false);
// Writes `gbk` to `fsPath` in `encoding` (see encode). The bytes go to a new
// file in the same directory that then replaces the target, so a write that
// fails leaves an existing file as it was. An existing file keeps its
// permissions. Throws TextFileError.
void writeTextFile(const std::string& fsPath, std::string_view gbk, Encoding encoding);

} // namespace textfile
