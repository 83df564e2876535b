#pragma once
// Taking the article out of a web page: its title, then its body's
// paragraphs, without the navigation, menus, sidebars, related links,
// comments, share bars, copyright lines and ads around it.
//
// How it reads a page (no model, nothing fetched):
// - The page is cut into blocks, the runs of text between block-level tags
//   and line breaks; each block counts its Chinese characters, letters and
//   digits, how many of them are link text, and its punctuation.
// - A block of running text (mostly not links, with sentence punctuation or
//   length) is worth its characters; link lists, labels and anything under an
//   element whose class or id names page furniture (nav, sidebar, comment,
//   share, footer, ad...) cost theirs. The article is the element whose
//   blocks are worth the most together: the body grows over every paragraph
//   until what it would take in beside them costs more than they bring.
// - A thread of posts (floors, "楼主", "发表于") keeps its first post; a
//   page of headline-and-summary items is a listing and has no article.
// - The title is the heading that agrees with the page's <title>, else the
//   <title> without its site name.
// - Inside the body, blocks under furniture, hidden blocks, link lists,
//   tables of facts, share and copyright lines, and the source, date and
//   editor lines at its edges are left out.
// - Text hidden by a style counts only when it is most of the page (an
//   article a script reveals); a page whose markup holds no article but
//   whose script does (its JSON state, a template) gives the script's.
#include <string>
#include <string_view>
#include <vector>

#include "html/charset.h"

namespace html {

enum class NoArticle { None, TooLarge, NoText, Listing };

struct Article {
    std::string title;                   // GBK
    std::vector<std::string> paragraphs; // GBK, one per line
    NoArticle missing = NoArticle::None;
    std::string reason;  // why there is none (English)
    PageCharset charset; // what the page was read as
    bool found() const { return missing == NoArticle::None; }
    // The title, an empty line, then the paragraphs, each line ending in
    // `lineBreak`. Empty when there is no article.
    std::string text(std::string_view lineBreak = "\r\n") const;
};

Article extractArticle(std::string_view page, std::string_view contentType = {});

} // namespace html
