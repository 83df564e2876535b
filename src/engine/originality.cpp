#include "engine/originality.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <stdexcept>
#include <utility>
#include <vector>

namespace engine {
namespace {

bool counted(char32_t c) {
    if (c < 0x80) return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (c >= 0x4E00 && c <= 0x9FFF) return true; // the common case first
    if (c >= 0x00C0 && c <= 0x024F) return c != 0x00D7 && c != 0x00F7;
    return (c >= 0x0391 && c <= 0x03C9) || (c >= 0x0400 && c <= 0x04FF) || c == 0x3007 ||
           (c >= 0x3400 && c <= 0x4DBF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF10 && c <= 0xFF19) || (c >= 0xFF21 && c <= 0xFF3A) ||
           (c >= 0xFF41 && c <= 0xFF5A) || (c >= 0x20000 && c <= 0x3FFFF);
}

// The counted characters of a GBK (GB18030) text, in order. Bytes that do not
// decode are skipped one at a time; they count as nothing.
std::vector<char32_t> countedCharacters(std::string_view text) {
    struct Converter {
        iconv_t cd = iconv_open("UTF-32LE", "GB18030");
        ~Converter() {
            if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
        }
    };
    thread_local Converter converter;
    if (converter.cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("no converter from GB18030 to UTF-32");
    iconv(converter.cd, nullptr, nullptr, nullptr, nullptr);

    std::vector<char32_t> out;
    out.reserve(text.size() / 2 + 1);
    char32_t buffer[4096];
    char* src = const_cast<char*>(text.data());
    size_t srcLeft = text.size();
    while (srcLeft > 0) {
        char* dst = reinterpret_cast<char*>(buffer);
        size_t dstLeft = sizeof buffer;
        const size_t r = iconv(converter.cd, &src, &srcLeft, &dst, &dstLeft);
        const int error = r == static_cast<size_t>(-1) ? errno : 0;
        const size_t got = (sizeof buffer - dstLeft) / sizeof(char32_t);
        for (size_t i = 0; i < got; ++i)
            if (counted(buffer[i])) out.push_back(buffer[i]);
        if (error == EILSEQ || error == EINVAL) {
            ++src;
            --srcLeft;
        }
    }
    return out;
}

// A shingle of four characters, each below 2^18 once the supplementary
// ideographs are moved down next to the BMP.
using Shingle = std::pair<std::uint64_t, std::uint32_t>;

std::uint64_t packed(char32_t c) {
    return c >= 0x20000 ? c - 0x10000 : c;
}

std::vector<Shingle> shingles(const std::vector<char32_t>& chars) {
    std::vector<Shingle> out;
    if (chars.size() < 4) return out;
    out.reserve(chars.size() - 3);
    for (size_t i = 0; i + 4 <= chars.size(); ++i)
        out.emplace_back((packed(chars[i]) << 36) | (packed(chars[i + 1]) << 18) |
                             packed(chars[i + 2]),
                         static_cast<std::uint32_t>(packed(chars[i + 3])));
    return out;
}

} // namespace

int originality(std::string_view source, std::string_view result) {
    const std::vector<Shingle> produced = shingles(countedCharacters(result));
    if (produced.empty()) return 0;
    std::vector<Shingle> known = shingles(countedCharacters(source));
    std::sort(known.begin(), known.end());
    known.erase(std::unique(known.begin(), known.end()), known.end());
    size_t fresh = 0;
    for (const Shingle& s : produced)
        if (!std::binary_search(known.begin(), known.end(), s)) ++fresh;
    return static_cast<int>(fresh * 100 / produced.size());
}

} // namespace engine
