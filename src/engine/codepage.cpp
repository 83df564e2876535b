#include "engine/codepage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <stdexcept>
#include <vector>

namespace cp {
namespace {

// Opening a converter is costly next to converting a word, so each thread keeps
// its converters open; they are reset to the initial state before every use.
iconv_t descriptor(const char* to, const char* from) {
    struct Entry {
        std::string to, from;
        iconv_t cd;
    };
    struct Cache {
        std::vector<Entry> entries;
        ~Cache() {
            for (auto& e : entries)
                iconv_close(e.cd);
        }
    };
    thread_local Cache cache;
    for (auto& e : cache.entries) {
        if (e.to == to && e.from == from) {
            iconv(e.cd, nullptr, nullptr, nullptr, nullptr);
            return e.cd;
        }
    }
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error(std::string("no converter from ") + from + " to " + to);
    cache.entries.push_back({to, from, cd});
    return cd;
}

// One conversion with iconv; each input character that is invalid or has no
// counterpart in the target encoding becomes `replacement` in the output.
template <typename Out>
Out convert(const char* to, const char* from, const char* in, size_t inLen, size_t unit,
            const Out& replacement) {
    iconv_t cd = descriptor(to, from);
    Out out;
    // A first guess of the output size (one output unit per input unit, two
    // for byte output); a full buffer grows by doubling.
    out.resize(inLen / unit * (sizeof(typename Out::value_type) == 1 ? 2 : 1) + 16);
    char* src = const_cast<char*>(in);
    size_t srcLeft = inLen;
    size_t used = 0;
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
                // A lead byte with a valid trail byte that GBK maps to nothing.
                unsigned char t = static_cast<unsigned char>(src[1]);
                skip = (t >= 0x40 && t <= 0xFE && t != 0x7F) ? 2 : 1;
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
        src += skip;
        srcLeft -= skip;
        // Write the replacement in place; growing only when it does not fit
        // keeps a text with many bad characters linear.
        if (out.size() < used + replacement.size())
            out.resize(std::max(out.size() * 2, used + replacement.size()) + 16);
        std::copy(replacement.begin(), replacement.end(),
                  out.begin() + static_cast<std::ptrdiff_t>(used));
        used += replacement.size();
    }
    out.resize(used);
    return out;
}

} // namespace

std::string utf8ToGbk(std::string_view utf8) {
    return convert<std::string>("CP936", "UTF-8", utf8.data(), utf8.size(), 1, "?");
}

std::string gbkToUtf8(std::string_view gbk) {
    return convert<std::string>("UTF-8", "CP936", gbk.data(), gbk.size(), 1, "\xEF\xBF\xBD");
}

std::u16string gbkToUtf16(std::string_view gbk) {
    return convert<std::u16string>("UTF-16LE", "CP936", gbk.data(), gbk.size(), 1, u"\uFFFD");
}

std::string utf16ToGbk(std::u16string_view u16) {
    return convert<std::string>("CP936", "UTF-16LE", reinterpret_cast<const char*>(u16.data()),
                                u16.size() * 2, 2, "?");
}

std::u16string utf8ToUtf16(std::string_view utf8) {
    return convert<std::u16string>("UTF-16LE", "UTF-8", utf8.data(), utf8.size(), 1, u"\uFFFD");
}

std::string utf16ToUtf8(std::u16string_view u16) {
    return convert<std::string>("UTF-8", "UTF-16LE", reinterpret_cast<const char*>(u16.data()),
                                u16.size() * 2, 2, "\xEF\xBF\xBD");
}

bool isValidUtf8(std::string_view s) {
    size_t i = 0, n = s.size();
    while (i < n) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
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
            return false;
        }
        if (i + len > n) return false;
        for (size_t k = 1; k < len; ++k) {
            unsigned char c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (cp < cpMin || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

} // namespace cp
