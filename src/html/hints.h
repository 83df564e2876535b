#pragma once
// What an element's class and id say about it: an article body, navigation
// or another part of the page around an article, comments, a title. Names are
// split into words at punctuation and at changes of case ("newsList" is
// "news" and "list"); a word that names comments, sharing, ads, menus or
// footers marks the element whatever else it says, and of the other words the
// last one decides ("article-meta" is page furniture, "meta-content" is not).
#include <cstdint>
#include <string_view>

namespace html {

std::uint8_t hintOf(std::string_view cls, std::string_view id);
// An inline style that hides the element (display:none).
bool styleHides(std::string_view style);

} // namespace html
