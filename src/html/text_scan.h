#pragma once
// Small readers of the text between tags: character references, blanks, and
// the validity of a stretch of page bytes.
#include <cstddef>
#include <string_view>

namespace html {

// The length of the character reference at s[i] == '&' ("&amp;", "&#20013;",
// "&#x4E2D;", also a name or number without its ';'), or 0 when the '&'
// starts none and is text.
size_t referenceLength(std::string_view s, size_t i);
inline bool isBlank(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}
// True when the bytes are well formed GB18030 (the byte 0x80, code page
// 936's euro sign, included).
bool isValidGb18030(std::string_view s);

} // namespace html
