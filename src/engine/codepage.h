#pragma once
// Conversions between the program's GBK text and the encodings at its edges.
// Everything inside the program is GBK (code page 936); UTF-8 comes from source
// literals, the database and the file system, UTF-16 from Qt, the regular
// expressions and the cipher.
#include <string>
#include <string_view>

namespace cp {

// UTF-8 -> GBK. A character GBK cannot hold becomes "?".
std::string utf8ToGbk(std::string_view utf8);
// GBK -> UTF-8. A byte sequence that is not valid GBK is decoded byte by byte
// (an invalid byte becomes U+FFFD) so that nothing is silently dropped.
std::string gbkToUtf8(std::string_view gbk);
// GBK -> UTF-16 and back. Unconvertible characters become "?".
std::u16string gbkToUtf16(std::string_view gbk);
std::string utf16ToGbk(std::u16string_view u16);
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view u16);

// True when the bytes are well-formed UTF-8 under the strict rules (no overlong
// forms, no surrogates, nothing above U+10FFFF, no truncated sequence).
bool isValidUtf8(std::string_view bytes);

// A GBK text from a UTF-8 source literal: G("新增").
inline std::string G(std::string_view utf8) {
    return utf8ToGbk(utf8);
}

// True when byte i of the GBK text starts a character (is not a trail byte).
// O(i) from the start of the text; callers that scan should track lead bytes.
inline bool isGbkLead(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}

} // namespace cp
