#pragma once
// Conversions between a page's own encoding and the program's GBK text
// (GB18030 bytes: GBK with four-byte forms for everything GBK lacks).
#include <string>
#include <string_view>

#include "html/charset.h"

namespace html {

// Page bytes in `cs` as GBK text. Bytes that are not valid in `cs` become
// U+FFFD's GB18030 form ("?" where nothing else fits); `clean` (if given)
// tells whether there were none.
std::string pageToGbk(std::string_view bytes, const PageCharset& cs, bool* clean = nullptr);
// GBK text as bytes in `cs` for a page's text: a character `cs` cannot hold
// is written as a numeric character reference ("&#8364;"), which every
// browser shows as that character whatever the page's encoding.
std::string gbkToPage(std::string_view gbk, const PageCharset& cs);
// Page bytes in `cs` as UTF-8 (invalid bytes as U+FFFD), without the
// byte-order mark.
std::string pageToUtf8(std::string_view bytes, const PageCharset& cs);
// UTF-8 text as UTF-16 bytes of the given order.
std::string utf8ToUtf16Bytes(std::string_view utf8, bool bigEndian);

} // namespace html
