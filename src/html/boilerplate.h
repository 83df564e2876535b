#pragma once
// The lines around an article that are not part of it, told by their words:
// source, author, editor and date lines, copyright and share lines, "next
// article" links; the floor markers of forum posts; a page title's site name.
#include <cstdint>
#include <string>
#include <string_view>

namespace html {

enum class LineKind {
    Text,      // part of the article
    Meta,      // source, author, date, editor: furniture at the article's edges
    Furniture, // share, copyright, next-article and related lines: furniture anywhere
};
// `text` in the page's working encoding (UTF-8 when `utf8`, else GB18030),
// with its counts of characters and sentence ends.
LineKind classifyLine(std::string_view text, std::uint32_t words, std::uint32_t ends, bool utf8);
// A date like 2024-05-01, 2024/5/1 or 2024年5月1日.
bool hasDate(std::string_view text, bool utf8);
// A line that marks a post of a thread ("楼主", "2楼", "发表于 ...").
bool isPostMarker(std::string_view text, bool utf8);
// The article's part of a <title>: of its parts between site separators
// ("_", "|", " - "), the first, unless a later one is far longer.
std::string cleanTitle(std::string_view title, bool utf8);

} // namespace html
