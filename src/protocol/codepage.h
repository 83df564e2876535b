#pragma once
// Conversions between the program's GBK text and the encodings at its edges.
// Everything inside the program is GBK (code page 936) bytes; UTF-8 comes from
// source literals, the database and the file system, UTF-16 from Qt, the
// regular expressions and the cipher.
//
// The edges convert with GB18030, the superset of GBK: a character GBK holds
// keeps exactly its GBK bytes (the euro sign included, the one byte 0x80), and
// every other character gets its four-byte GB18030 form (lead, digit, lead,
// digit) instead of being lost. No GBK character has a digit as its second
// byte, so no GBK word can match part of a four-byte form.
#include <cstddef>
#include <string>
#include <string_view>

namespace cp {

// UTF-8 -> GBK/GB18030. Only malformed UTF-8 input becomes "?".
std::string utf8ToGbk(std::string_view utf8);
// GBK/GB18030 -> UTF-8. A byte sequence that is not valid GB18030 is decoded
// byte by byte (an invalid character becomes U+FFFD) so that nothing is
// silently dropped.
std::string gbkToUtf8(std::string_view gbk);
// GBK/GB18030 <-> UTF-16; the same rules (an unpaired surrogate becomes "?").
std::u16string gbkToUtf16(std::string_view gbk);
std::string utf16ToGbk(std::u16string_view u16);
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view u16);

// True when the bytes are well-formed UTF-8 under the strict rules (no overlong
// forms, no surrogates, nothing above U+10FFFF, no truncated sequence).
bool isValidUtf8(std::string_view bytes);

// True when the UTF-8 text is well formed and every character of it is one
// that GBK proper (code page 936) holds: no four-byte form is needed.
bool fitsGbk(std::string_view utf8);

// File-system bytes <-> the program's text, losslessly both ways:
// gbkToFs(fsToGbk(p)) == p for every byte string p. Well-formed UTF-8 converts
// as text; any other byte is carried as a four-byte form that no character
// has, and turned back into that byte.
std::string fsToGbk(std::string_view fs);
std::string gbkToFs(std::string_view gbk);

// A GBK text from a UTF-8 source literal: G("新增").
inline std::string G(std::string_view utf8) {
    return utf8ToGbk(utf8);
}

// True when b is the first byte of a two- or four-byte character.
inline bool isGbkLead(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}

// The length of the character at t[i] (i < n), i a character boundary: four
// for a GB18030 four-byte form, two for a lead byte with any byte after it,
// else one. Walking a text from its start by this rule finds the same
// boundaries as the plain GBK rule (a lead byte takes the next byte) except
// that the middle of a four-byte character is none.
inline size_t charLength(const unsigned char* t, size_t i, size_t n) {
    if (!isGbkLead(t[i]) || i + 1 >= n) return 1;
    if (static_cast<unsigned char>(t[i + 1] - 0x30) < 10 && i + 3 < n && isGbkLead(t[i + 2]) &&
        static_cast<unsigned char>(t[i + 3] - 0x30) < 10)
        return 4;
    return 2;
}

} // namespace cp
