#include "html/text_scan.h"

namespace html {

size_t referenceLength(std::string_view s, size_t i) {
    size_t n = s.size(), k = i + 1;
    auto alnum = [](unsigned char c) {
        return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
    };
    auto hex = [](unsigned char c) {
        return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
    };
    if (k < n && s[k] == '#') {
        ++k;
        bool isHex = k < n && (s[k] == 'x' || s[k] == 'X');
        if (isHex) ++k;
        size_t digits = k;
        while (k < n &&
               (isHex ? hex(static_cast<unsigned char>(s[k])) : (s[k] >= '0' && s[k] <= '9')))
            ++k;
        if (k == digits) return 0;
    } else {
        if (k >= n || !((static_cast<unsigned char>(s[k]) | 0x20) >= 'a' &&
                        (static_cast<unsigned char>(s[k]) | 0x20) <= 'z'))
            return 0;
        while (k < n && alnum(static_cast<unsigned char>(s[k])))
            ++k;
    }
    if (k < n && s[k] == ';') ++k;
    return k - i;
}

bool isValidGb18030(std::string_view s) {
    size_t i = 0, n = s.size();
    while (i < n) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        if (b <= 0x80) {
            ++i;
            continue;
        }
        if (b == 0xFF || i + 1 >= n) return false;
        unsigned char t = static_cast<unsigned char>(s[i + 1]);
        if (t >= 0x30 && t <= 0x39) {
            if (i + 3 >= n) return false;
            unsigned char c = static_cast<unsigned char>(s[i + 2]),
                          d = static_cast<unsigned char>(s[i + 3]);
            if (c < 0x81 || c > 0xFE || d < 0x30 || d > 0x39) return false;
            i += 4;
            continue;
        }
        if (t < 0x40 || t == 0x7F || t == 0xFF) return false;
        i += 2;
    }
    return true;
}

} // namespace html
