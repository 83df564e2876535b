#include "engine/originality.h"
#include "protocol/codepage.h"

#include <algorithm>
#include <bit>
#include <cstdint>
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

// One GB18030 character (up to four bytes) to its code point; 0 when the
// bytes do not decode.
char32_t decodeOne(std::string_view bytes) {
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
    char32_t out = 0;
    char* src = const_cast<char*>(bytes.data());
    size_t srcLeft = bytes.size();
    char* dst = reinterpret_cast<char*>(&out);
    size_t dstLeft = sizeof out;
    if (iconv(converter.cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) return 0;
    return dstLeft == 0 ? out : 0;
}

// The code point of every two-byte character (lead << 8 | trail), made once.
const std::vector<char32_t>& twoByteTable() {
    static const std::vector<char32_t> table = [] {
        std::vector<char32_t> t(65536, 0);
        for (unsigned lead = 0x81; lead <= 0xFE; ++lead)
            for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
                if (trail == 0x7F) continue;
                const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                t[lead << 8 | trail] = decodeOne(std::string_view(bytes, 2));
            }
        return t;
    }();
    return table;
}

// The counted characters of a GBK (GB18030) text, in order. Bytes that do not
// decode are skipped one at a time; they count as nothing.
std::vector<char32_t> countedCharacters(std::string_view text) {
    const std::vector<char32_t>& twoBytes = twoByteTable();
    const auto* t = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    std::vector<char32_t> out;
    out.reserve(n / 2 + 1);
    auto digit = [&](size_t k) { return k < n && t[k] >= 0x30 && t[k] <= 0x39; };
    auto lead = [&](size_t k) { return k < n && cp::isGbkLead(t[k]); };
    for (size_t i = 0; i < n;) {
        char32_t c = 0;
        size_t len = 1;
        if (t[i] < 0x80) {
            c = t[i];
        } else if (lead(i) && i + 1 < n && t[i + 1] >= 0x40 && t[i + 1] != 0x7F &&
                   t[i + 1] != 0xFF) {
            c = twoBytes[static_cast<size_t>(t[i]) << 8 | t[i + 1]];
            len = 2;
        } else if (lead(i) && digit(i + 1) && lead(i + 2) && digit(i + 3)) {
            c = decodeOne(text.substr(i, 4));
            len = 4;
        }
        if (c != 0 && counted(c)) out.push_back(c);
        i += len;
    }
    return out;
}

// Every character of both texts gets a small number of its own, so that a
// shingle of four fits one 64-bit word while there are at most 2^16 different
// characters (beyond that, two words).
struct Numbered {
    std::vector<std::uint64_t> source, result;
    size_t distinct = 0;
};

Numbered numbered(const std::vector<char32_t>& source, const std::vector<char32_t>& result) {
    Numbered out;
    // Counted characters lie below U+40000; 0 marks one not numbered yet. The
    // table is kept per thread and cleared where it was written, as clearing
    // all of it would cost more than the rest of a short article.
    thread_local std::vector<std::uint32_t> ids(0x40000, 0);
    for (auto [chars, into] : {std::pair{&source, &out.source}, std::pair{&result, &out.result}}) {
        into->reserve(chars->size());
        for (char32_t c : *chars) {
            std::uint32_t& id = ids[c];
            if (id == 0) id = static_cast<std::uint32_t>(++out.distinct);
            into->push_back(id - 1);
        }
    }
    for (const auto* chars : {&source, &result})
        for (char32_t c : *chars)
            ids[c] = 0;
    return out;
}

std::vector<std::uint64_t> narrowShingles(const std::vector<std::uint64_t>& ids) {
    std::vector<std::uint64_t> out;
    for (size_t i = 0; i + 4 <= ids.size(); ++i)
        out.push_back(ids[i] << 48 | ids[i + 1] << 32 | ids[i + 2] << 16 | ids[i + 3]);
    return out;
}

std::vector<std::pair<std::uint64_t, std::uint64_t>>
wideShingles(const std::vector<std::uint64_t>& ids) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> out;
    for (size_t i = 0; i + 4 <= ids.size(); ++i)
        out.emplace_back(ids[i] << 32 | ids[i + 1], ids[i + 2] << 32 | ids[i + 3]);
    return out;
}

// The share, in whole percent rounded down, of `produced` not in `known`:
// both sorted, then walked side by side.
template <class T> int freshShare(std::vector<T> known, std::vector<T> produced) {
    if (produced.empty()) return 0;
    std::sort(known.begin(), known.end());
    std::sort(produced.begin(), produced.end());
    size_t fresh = 0, k = 0;
    for (const T& s : produced) {
        while (k < known.size() && known[k] < s)
            ++k;
        if (k == known.size() || s < known[k]) ++fresh;
    }
    return static_cast<int>(fresh * 100 / produced.size());
}

// The same for one-word shingles, in linear time: the known ones go into an
// open-addressing set (a shingle plus one, so that 0 marks a free slot; no
// narrow shingle is all ones), and each produced one is looked up.
int freshShare(const std::vector<std::uint64_t>& known,
               const std::vector<std::uint64_t>& produced) {
    if (produced.empty()) return 0;
    size_t capacity = 16;
    while (capacity < 2 * known.size())
        capacity <<= 1;
    const size_t mask = capacity - 1;
    const int shift = 64 - std::countr_zero(capacity);
    auto home = [&](std::uint64_t key) {
        return static_cast<size_t>((key * 0x9E3779B97F4A7C15ULL) >> shift) & mask;
    };
    std::vector<std::uint64_t> slots(capacity, 0);
    for (std::uint64_t s : known) {
        const std::uint64_t key = s + 1;
        for (size_t h = home(key);; h = (h + 1) & mask) {
            if (slots[h] == key) break;
            if (slots[h] == 0) {
                slots[h] = key;
                break;
            }
        }
    }
    size_t fresh = 0;
    for (std::uint64_t s : produced) {
        const std::uint64_t key = s + 1;
        for (size_t h = home(key);; h = (h + 1) & mask) {
            if (slots[h] == key) break;
            if (slots[h] == 0) {
                ++fresh;
                break;
            }
        }
    }
    return static_cast<int>(fresh * 100 / produced.size());
}

} // namespace

int originality(std::string_view source, std::string_view result) {
    const std::vector<char32_t> resultChars = countedCharacters(result);
    if (resultChars.size() < 4) return 0;
    const Numbered ids = numbered(countedCharacters(source), resultChars);
    if (ids.distinct < (1u << 16))
        return freshShare(narrowShingles(ids.source), narrowShingles(ids.result));
    return freshShare(wideShingles(ids.source), wideShingles(ids.result));
}

} // namespace engine
