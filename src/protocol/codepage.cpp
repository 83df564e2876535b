#include "protocol/codepage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <stdexcept>
#include <vector>

#include "protocol/iconv_cache.h"

namespace cp {
namespace {

// One conversion with iconv, appended to `out`; each input character that is
// invalid or has no counterpart in the target encoding becomes `replacement`,
// except the byte 0x80 of GBK input, which is the euro sign (`euro`) as code
// page 936 defines it and GB18030 does not.
template <typename Out>
void convertInto(Out& out, const char* to, const char* from, const char* in, size_t inLen,
                 size_t unit, const Out& replacement, const Out& euro = Out()) {
    iconv_t cd = iconvFor(to, from);
    const size_t start = out.size();
    // A first guess of the output size (one output unit per input unit, two
    // for byte output); a full buffer grows by doubling.
    out.resize(start + inLen / unit * (sizeof(typename Out::value_type) == 1 ? 2 : 1) + 16);
    char* src = const_cast<char*>(in);
    size_t srcLeft = inLen;
    size_t used = start;
    while (srcLeft > 0) {
        char* dst = reinterpret_cast<char*>(out.data()) + used * sizeof(typename Out::value_type);
        size_t dstLeft = (out.size() - used) * sizeof(typename Out::value_type);
        size_t before = dstLeft;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        used += (before - dstLeft) / sizeof(typename Out::value_type);
        if (r != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2 + 16);
            continue;
        }
        // EILSEQ or EINVAL: skip one input unit (a whole character where we can
        // tell its length) and emit the replacement.
        size_t skip = unit;
        if (unit == 1) {
            unsigned char b = static_cast<unsigned char>(*src);
            if (std::string_view(from) == "UTF-8") {
                skip = 1;
                if (b >= 0xC2 && b <= 0xDF)
                    skip = 2;
                else if (b >= 0xE0 && b <= 0xEF)
                    skip = 3;
                else if (b >= 0xF0 && b <= 0xF4)
                    skip = 4;
                // Only skip a full sequence when its continuation bytes are present.
                for (size_t k = 1; k < skip; ++k) {
                    if (k >= srcLeft || (static_cast<unsigned char>(src[k]) & 0xC0) != 0x80) {
                        skip = 1;
                        break;
                    }
                }
            } else if (isGbkLead(b) && srcLeft >= 2 && errno == EILSEQ) {
                // A lead byte with a valid trail byte, or a four-byte form, that
                // maps to nothing: one character.
                unsigned char t = static_cast<unsigned char>(src[1]);
                skip = (t >= 0x40 && t <= 0xFE && t != 0x7F) ? 2 : 1;
                if (charLength(reinterpret_cast<const unsigned char*>(src), 0, srcLeft) == 4)
                    skip = 4;
            }
        } else if (unit == 2 && srcLeft >= 4) {
            // A surrogate pair counts as one character.
            char16_t hi;
            std::memcpy(&hi, src, 2);
            if (hi >= 0xD800 && hi <= 0xDBFF) {
                char16_t lo;
                std::memcpy(&lo, src + 2, 2);
                if (lo >= 0xDC00 && lo <= 0xDFFF) skip = 4;
            }
        }
        if (skip > srcLeft) skip = srcLeft;
        const Out& put = !euro.empty() && skip == 1 && static_cast<unsigned char>(*src) == 0x80
                             ? euro
                             : replacement;
        src += skip;
        srcLeft -= skip;
        // Write the replacement in place; growing only when it does not fit
        // keeps a text with many bad characters linear.
        if (out.size() < used + put.size())
            out.resize(std::max(out.size() * 2, used + put.size()) + 16);
        std::copy(put.begin(), put.end(), out.begin() + static_cast<std::ptrdiff_t>(used));
        used += put.size();
    }
    out.resize(used);
}

template <typename Out>
Out convert(const char* to, const char* from, const char* in, size_t inLen, size_t unit,
            const Out& replacement, const Out& euro = Out()) {
    Out out;
    convertInto(out, to, from, in, inLen, unit, replacement, euro);
    return out;
}

// Unicode -> GB18030, except the euro sign, which becomes the one byte 0x80 of
// code page 936 (GB18030 gives it A2 E3): the program's text stays the GBK it
// always was. `euroSign` is the sign's code units in the input.
template <typename In>
std::string toGbk(const char* from, std::basic_string_view<In> in,
                  std::basic_string_view<In> euroSign, const char* replacement) {
    std::string out;
    const std::string bad(replacement);
    size_t copied = 0;
    for (size_t hit; (hit = in.find(euroSign, copied)) != std::basic_string_view<In>::npos;
         copied = hit + euroSign.size()) {
        convertInto(out, "GB18030", from, reinterpret_cast<const char*>(in.data() + copied),
                    (hit - copied) * sizeof(In), sizeof(In), bad);
        out += '\x80';
    }
    convertInto(out, "GB18030", from, reinterpret_cast<const char*>(in.data() + copied),
                (in.size() - copied) * sizeof(In), sizeof(In), bad);
    return out;
}

} // namespace

std::string utf8ToGbk(std::string_view utf8) {
    return toGbk<char>("UTF-8", utf8, "\xE2\x82\xAC", "?");
}

std::string gbkToUtf8(std::string_view gbk) {
    return convert<std::string>("UTF-8", "GB18030", gbk.data(), gbk.size(), 1, "\xEF\xBF\xBD",
                                "\xE2\x82\xAC");
}

std::u16string gbkToUtf16(std::string_view gbk) {
    return convert<std::u16string>("UTF-16LE", "GB18030", gbk.data(), gbk.size(), 1, u"\uFFFD",
                                   u"\u20AC");
}

std::string utf16ToGbk(std::u16string_view u16) {
    return toGbk<char16_t>("UTF-16LE", u16, u"\u20AC", "?");
}

std::u16string utf8ToUtf16(std::string_view utf8) {
    return convert<std::u16string>("UTF-16LE", "UTF-8", utf8.data(), utf8.size(), 1, u"\uFFFD");
}

std::string utf16ToUtf8(std::u16string_view u16) {
    return convert<std::string>("UTF-8", "UTF-16LE", reinterpret_cast<const char*>(u16.data()),
                                u16.size() * 2, 2, "\xEF\xBF\xBD");
}

namespace {

// The length of the well-formed UTF-8 sequence at s[i], or 0 when there is none.
size_t utf8SequenceLength(std::string_view s, size_t i) {
    const size_t n = s.size();
    unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) return 1;
    size_t len;
    unsigned cpMin;
    unsigned cp;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
        cpMin = 0x80;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        cpMin = 0x800;
        cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        cpMin = 0x10000;
        cp = b & 0x07;
    } else {
        return 0;
    }
    if (i + len > n) return 0;
    for (size_t k = 1; k < len; ++k) {
        unsigned char c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < cpMin || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

// A file-system byte that is no part of well-formed UTF-8 travels inside the
// program as a four-byte GB18030 form that no Unicode character has (84 32
// 81 30 onwards, past the last form of the BMP), one form per byte value.
constexpr unsigned char kEscapeFirst = 0x84, kEscapeSecond = 0x32;

bool isPathEscape(const unsigned char* t, size_t i, size_t n) {
    return i + 3 < n && t[i] == kEscapeFirst && t[i + 1] == kEscapeSecond && t[i + 2] >= 0x81 &&
           t[i + 3] >= 0x30 && t[i + 3] <= 0x39 && (t[i + 2] - 0x81) * 10 + (t[i + 3] - 0x30) < 128;
}

} // namespace

bool fitsGbk(std::string_view utf8) {
    const std::string gbk =
        convert<std::string>("CP936", "UTF-8", utf8.data(), utf8.size(), 1, "?");
    return convert<std::string>("UTF-8", "CP936", gbk.data(), gbk.size(), 1, "\xEF\xBF\xBD") ==
           utf8;
}

bool isValidUtf8(std::string_view s) {
    for (size_t i = 0, len; i < s.size(); i += len)
        if ((len = utf8SequenceLength(s, i)) == 0) return false;
    return true;
}

std::string fsToGbk(std::string_view fs) {
    if (isValidUtf8(fs)) return utf8ToGbk(fs);
    std::string out;
    size_t copied = 0;
    for (size_t i = 0; i < fs.size();) {
        const size_t len = utf8SequenceLength(fs, i);
        if (len > 0) {
            i += len;
            continue;
        }
        out += utf8ToGbk(fs.substr(copied, i - copied));
        const unsigned index = static_cast<unsigned char>(fs[i]) - 0x80u;
        out += static_cast<char>(kEscapeFirst);
        out += static_cast<char>(kEscapeSecond);
        out += static_cast<char>(0x81 + index / 10);
        out += static_cast<char>(0x30 + index % 10);
        copied = ++i;
    }
    out += utf8ToGbk(fs.substr(copied));
    return out;
}

std::string gbkToFs(std::string_view gbk) {
    const auto* t = reinterpret_cast<const unsigned char*>(gbk.data());
    const size_t n = gbk.size();
    std::string out;
    size_t copied = 0;
    for (size_t i = 0; i < n;) {
        if (!isPathEscape(t, i, n)) {
            i += charLength(t, i, n);
            continue;
        }
        out += gbkToUtf8(gbk.substr(copied, i - copied));
        out += static_cast<char>(0x80 + (t[i + 2] - 0x81) * 10 + (t[i + 3] - 0x30));
        copied = i += 4;
    }
    out += gbkToUtf8(gbk.substr(copied));
    return out;
}

} // namespace cp
