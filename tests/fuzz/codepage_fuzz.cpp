// Text-file detection and decoding, the GBK/GB18030 conversions at the edges,
// and the lossless path conversion, on any bytes:
// - valid UTF-8 survives UTF-8 -> GBK -> UTF-8 and UTF-8 -> UTF-16 -> UTF-8;
// - GB18030 text that decodes without a replacement character comes back as
//   the same bytes (but for the euro sign, which comes back as Windows GBK's);
// - any bytes survive the path conversion both ways;
// - a file's text read, written back in its encoding and read again is the
//   same text, and a UTF-8 file is written back as the very same bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/files.h"
#include "engine/text_file.h"
#include "fuzz/fuzz_support.h"
#include "protocol/codepage.h"

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD in UTF-8

// The bytes as they come back from their characters: GB18030's euro sign
// (A2 E3) is written as the Windows GBK one (80), the form the program keeps.
std::string withGbkEuro(const std::string& bytes) {
    std::string out;
    const auto* t = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t len = cp::charLength(t, i, bytes.size());
        if (len == 2 && t[i] == 0xA2 && t[i + 1] == 0xE3)
            out += '\x80';
        else
            out.append(bytes, i, len);
        i += len;
    }
    return out;
}

void conversions(const std::string& bytes) {
    if (cp::isValidUtf8(bytes)) {
        FUZZ_CHECK(cp::gbkToUtf8(cp::utf8ToGbk(bytes)) == bytes);
        FUZZ_CHECK(cp::utf16ToUtf8(cp::utf8ToUtf16(bytes)) == bytes);
        FUZZ_CHECK(cp::utf16ToGbk(cp::utf8ToUtf16(bytes)) == cp::utf8ToGbk(bytes));
    }
    // Read as GBK: always valid UTF-8 out; text that read cleanly goes back.
    const std::string utf8 = cp::gbkToUtf8(bytes);
    FUZZ_CHECK(cp::isValidUtf8(utf8));
    if (utf8.find(kReplacement) == std::string::npos && cp::isValidUtf8(utf8))
        FUZZ_CHECK(cp::utf8ToGbk(utf8) == withGbkEuro(bytes));
    FUZZ_CHECK(cp::utf16ToUtf8(cp::gbkToUtf16(bytes)) == utf8);
    // The character walk stays inside the text.
    const auto* t = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t len = cp::charLength(t, i, bytes.size());
        FUZZ_CHECK(len >= 1 && i + len <= bytes.size());
        i += len;
    }
}

void paths(const std::string& bytes) {
    FUZZ_CHECK(cp::gbkToFs(cp::fsToGbk(bytes)) == bytes);
    FUZZ_CHECK(fsPath(gbkPath(bytes)) == bytes);
    // A valid UTF-8 name converts as text, so the window shows it as it is.
    if (cp::isValidUtf8(bytes)) FUZZ_CHECK(cp::fsToGbk(bytes) == cp::utf8ToGbk(bytes));
}

void textFiles(const std::string& bytes) {
    using textfile::Encoding;
    const Encoding e = textfile::detectEncoding(bytes);
    const std::string text = textfile::decode(bytes, e);
    const Encoding written = textfile::writtenAs(e);
    const std::string back = textfile::encode(text, written);
    // Written back and read again: the same encoding and the same text.
    FUZZ_CHECK(textfile::decode(back, written) == text);
    if (e == Encoding::Gbk) FUZZ_CHECK(back == bytes);
    if (e == Encoding::Utf8) FUZZ_CHECK(back == bytes);
    if (e == Encoding::Utf8Bom && cp::isValidUtf8(std::string_view(bytes).substr(3)))
        FUZZ_CHECK(back == bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    conversions(bytes);
    paths(bytes);
    textFiles(bytes);
    return 0;
}
