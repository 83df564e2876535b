#pragma once
// Which encoding a web page is in, and where that was learnt: its byte-order
// mark, the HTTP Content-Type, a <meta> declaration, or the bytes themselves
// (well-formed UTF-8, else GB18030). Labels follow the web's rules: GB2312,
// GBK and their aliases read as GB18030, the superset every browser decodes
// them with; a page that declares UTF-16 in a <meta> is UTF-8.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace html {

enum class Charset { Utf8, Gb18030, Big5, Utf16Le, Utf16Be, Other };
enum class CharsetSource { Bom, Http, Meta, Detected };

struct PageCharset {
    Charset charset = Charset::Utf8;
    std::string iconvName = "UTF-8"; // the converter's name for it
    CharsetSource source = CharsetSource::Detected;
    size_t bomLength = 0;
    bool operator==(const PageCharset&) const = default;
};

// The encoding a label names, or nothing for a label the reader does not know.
std::optional<PageCharset> charsetFromLabel(std::string_view label);
// The charset parameter of a Content-Type value ("text/html; charset=gbk").
std::string_view contentTypeCharset(std::string_view contentType);
// The label of the first <meta charset> or <meta http-equiv content> in the
// page's head (looked for in its first kMetaScanBytes bytes).
inline constexpr size_t kMetaScanBytes = 16 * 1024;
std::string_view metaCharset(std::string_view page);

PageCharset detectCharset(std::string_view page, std::string_view contentType = {});

// True when the page is HTML: a Content-Type of text/html, a file name ending
// in .htm or .html, or a text that starts (after a byte-order mark and blanks)
// with a doctype, <html>, <head> or <body>. Any one is enough.
bool isHtml(std::string_view contentType, std::string_view fileName, std::string_view bytes);

} // namespace html
