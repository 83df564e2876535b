// Web pages, on any bytes and any Content-Type:
// - keep mode with a rewrite that changes nothing gives the page back byte
//   for byte; with a rewrite that puts a mark before every piece, the page
//   with those marks taken out is the page as it was, so every byte outside
//   the text stayed as it was;
// - extract returns text whose every character occurs in the page as read;
// - both stay within libFuzzer's time and memory limits (scripts/fuzz.sh).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "html/codec.h"
#include "html/extract.h"
#include "html/keep.h"
#include "protocol/codepage.h"

namespace {

// Put before a piece, never after: a piece may end in a bare '<', "</" or
// '&' (before a tag or the end of the page), which anything after it could
// turn into markup, rightly escaped. Not a letter, digit, '/', '!', '?' or
// '#'.
constexpr char kMark = '~';

std::string withoutMark(std::string s) {
    std::erase(s, kMark);
    return s;
}

void keep(const std::string& page, const std::string& contentType) {
    const html::KeepResult same =
        html::rewriteKeepingMarkup(page, contentType, [](const std::string& t) { return t; });
    if (!same.ok()) return;
    FUZZ_CHECK(same.page == page);
    FUZZ_CHECK(same.changed == 0);

    const html::Charset cs = same.charset.charset;
    if (cs != html::Charset::Utf8 && cs != html::Charset::Gb18030) return;
    bool clean = false;
    html::pageToGbk(page, same.charset, &clean);
    if (!clean) return;
    const html::KeepResult marked = html::rewriteKeepingMarkup(
        page, contentType, [](const std::string& t) { return kMark + t; });
    FUZZ_CHECK(marked.ok());
    FUZZ_CHECK(marked.pieces == same.pieces && marked.changed == marked.pieces);
    FUZZ_CHECK(withoutMark(marked.page) == withoutMark(page));
    FUZZ_CHECK(marked.page.size() == page.size() + marked.pieces);
}

std::string hexOf(std::string_view s) {
    std::string out;
    char b[4];
    for (unsigned char c : s) {
        std::snprintf(b, sizeof b, "%02X", c);
        out += b;
    }
    return out;
}

// Blanks, and the replacement character a byte the page's encoding cannot
// read becomes.
bool blank(std::string_view ch) {
    static const std::string replacement = cp::G("\uFFFD");
    if (ch == replacement) return true;
    return ch.size() == 1 ? static_cast<unsigned char>(ch[0]) <= 0x20 : ch == "\xA1\xA1";
}

void extract(const std::string& page, const std::string& contentType) {
    const html::Article a = html::extractArticle(page, contentType);
    if (!a.found()) {
        FUZZ_CHECK(a.text().empty() && !a.reason.empty());
        return;
    }
    // References and script escapes make characters the page's bytes lack.
    if (page.find('&') != std::string::npos || page.find('\\') != std::string::npos) return;
    // A page with broken bytes: two pieces joined across an inline tag can
    // make a character of a broken lead byte and the next piece's first byte.
    bool clean = false;
    const std::string read = html::pageToGbk(page, a.charset, &clean);
    if (!clean) return;
    // Line by line: a broken lead byte at the end of a line is a character
    // of its own there, not the first byte of one with the line break.
    std::vector<std::string> lines = a.paragraphs;
    lines.push_back(a.title);
    for (const std::string& line : lines) {
        const auto* t = reinterpret_cast<const unsigned char*>(line.data());
        for (std::size_t i = 0; i < line.size();) {
            const std::size_t len = cp::charLength(t, i, line.size());
            const std::string_view ch = std::string_view(line).substr(i, len);
            // In the page as read, or as its bytes stand (a GBK page's
            // broken bytes stay as they were).
            const bool found = blank(ch) || read.find(ch) != std::string::npos ||
                               page.find(ch) != std::string::npos;
            if (!found)
                std::fprintf(stderr, "character %s of \"%s\" is not in the page\n",
                             hexOf(ch).c_str(), hexOf(line).c_str());
            FUZZ_CHECK(found);
            i += len;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t choices = in.byte();
    // Mostly no Content-Type, as for a file; sometimes one from the input.
    const std::string contentType = (choices & 1) ? in.field('\n') : std::string();
    const std::string page = in.rest();
    if (choices & 2)
        extract(page, contentType);
    else
        keep(page, contentType);
    return 0;
}
