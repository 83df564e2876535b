#include "html/codec.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <stdexcept>
#include <vector>

#include "protocol/codepage.h"
#include "protocol/iconv_cache.h"

namespace html {
namespace {

size_t utf8Length(unsigned char b) {
    return b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
}

unsigned long decodeUtf8(std::string_view s, size_t i, size_t len) {
    unsigned long cp = static_cast<unsigned char>(s[i]) & (0xFF >> (len + 1));
    for (size_t k = 1; k < len && i + k < s.size(); ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    return cp;
}

// Converts with iconv. An input byte that does not convert is handled by
// `onError`, which appends its own replacement and returns how many input
// bytes it took.
template <typename OnError>
std::string convert(std::string_view in, const std::string& to, const std::string& from,
                    OnError onError) {
    iconv_t cd = cp::iconvFor(to.c_str(), from.c_str());
    std::string out;
    out.resize(in.size() * 2 + 16);
    size_t used = 0;
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    while (left > 0) {
        char* dst = out.data() + used;
        size_t room = out.size() - used;
        size_t before = room;
        size_t r = iconv(cd, &src, &left, &dst, &room);
        used += before - room;
        if (r != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        out.resize(used);
        // A UTF-16 page of an odd length ends in half a unit: take what is left.
        size_t taken = std::min(onError(out, std::string_view(src, left)), left);
        used = out.size();
        out.resize(used + left * 2 + 16);
        src += taken;
        left -= taken;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(used);
    return out;
}

} // namespace

std::string pageToUtf8(std::string_view bytes, const PageCharset& cs) {
    bytes.remove_prefix(std::min(cs.bomLength, bytes.size()));
    if (cs.charset == Charset::Utf8 && cp::isValidUtf8(bytes)) return std::string(bytes);
    const std::string from = cs.charset == Charset::Utf8 ? "UTF-8" : cs.iconvName;
    size_t unit = (cs.charset == Charset::Utf16Le || cs.charset == Charset::Utf16Be) ? 2 : 1;
    return convert(bytes, "UTF-8", from, [unit](std::string& out, std::string_view) {
        out += "\xEF\xBF\xBD";
        return unit;
    });
}

std::string pageToGbk(std::string_view bytes, const PageCharset& cs, bool* clean) {
    bool ok = true;
    std::string out;
    if (cs.charset == Charset::Gb18030) {
        out = convert(bytes, "GB18030", "GB18030", [&ok](std::string& o, std::string_view rest) {
            // The byte 0x80 is the euro sign of code page 936: keep it.
            if (static_cast<unsigned char>(rest[0]) != 0x80) ok = false;
            o += rest[0] == '\x80' ? std::string("\x80") : cp::utf8ToGbk("\xEF\xBF\xBD");
            return size_t{1};
        });
    } else if (cs.charset == Charset::Utf8) {
        if (cp::isValidUtf8(bytes)) return cp::utf8ToGbk(bytes);
        ok = false;
        out = cp::utf8ToGbk(pageToUtf8(bytes, cs));
    } else {
        std::string utf8 =
            convert(bytes, "UTF-8", cs.iconvName, [&ok](std::string& o, std::string_view) {
                ok = false;
                o += "\xEF\xBF\xBD";
                return size_t{1};
            });
        out = cp::utf8ToGbk(utf8);
    }
    if (clean) *clean = ok;
    return out;
}

std::string gbkToPage(std::string_view gbk, const PageCharset& cs) {
    if (cs.charset == Charset::Gb18030) return std::string(gbk);
    std::string utf8 = cp::gbkToUtf8(gbk);
    if (cs.charset == Charset::Utf8) return utf8;
    if (cs.charset == Charset::Utf16Le || cs.charset == Charset::Utf16Be)
        return utf8ToUtf16Bytes(utf8, cs.charset == Charset::Utf16Be);
    return convert(utf8, cs.iconvName, "UTF-8", [](std::string& out, std::string_view rest) {
        size_t len = std::min(utf8Length(static_cast<unsigned char>(rest[0])), rest.size());
        out += "&#" + std::to_string(decodeUtf8(rest, 0, len)) + ";";
        return len;
    });
}

std::string utf8ToUtf16Bytes(std::string_view utf8, bool bigEndian) {
    std::u16string u16 = cp::utf8ToUtf16(utf8);
    std::string out;
    out.reserve(u16.size() * 2);
    for (char16_t c : u16) {
        char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

} // namespace html
