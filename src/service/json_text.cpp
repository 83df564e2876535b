#include "service/json_text.h"

#include <cstdint>

namespace service {

namespace {

constexpr char kHex[] = "0123456789abcdef";

void appendEscape(std::string& out, std::uint32_t unit) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += kHex[(unit >> shift) & 0xF];
}

// The code point of the UTF-8 sequence at s[i] and its length, or 0 as the
// length when the sequence is malformed (overlong, surrogate, cut off).
std::uint32_t decodeAt(std::string_view s, size_t i, size_t& length) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const unsigned char lead = b(0);
    size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    length = 0;
    if (lead >= 0xF5 || n == 0 || i + n > s.size()) return 0;
    std::uint32_t cp = lead & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
        if ((b(k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b(k) & 0x3F);
    }
    const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[n] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return 0;
    length = n;
    return cp;
}

} // namespace

void appendJsonString(std::string& out, std::string_view s, bool asciiOnly) {
    out.reserve(out.size() + s.size() + 2);
    out += '"';
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            if (c == '"' || c == '\\') {
                out += '\\';
                out += static_cast<char>(c);
            } else if (c == '\n') {
                out += "\\n";
            } else if (c == '\r') {
                out += "\\r";
            } else if (c == '\t') {
                out += "\\t";
            } else if (c < 0x20 || c == 0x7F) {
                appendEscape(out, c);
            } else {
                out += static_cast<char>(c);
            }
            ++i;
            continue;
        }
        size_t length = 0;
        std::uint32_t cp = decodeAt(s, i, length);
        const bool malformed = length == 0;
        if (malformed) {
            cp = 0xFFFD;
            length = 1;
        }
        if (!asciiOnly) {
            if (malformed)
                out += "\xEF\xBF\xBD";
            else
                out.append(s, i, length);
        } else if (cp >= 0x10000) {
            appendEscape(out, 0xD800 + ((cp - 0x10000) >> 10));
            appendEscape(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            appendEscape(out, cp);
        }
        i += length;
    }
    out += '"';
}

} // namespace service
