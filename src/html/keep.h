#pragma once
// Rewriting a web page's visible text while its markup stays byte for byte.
//
// The page is read in its own bytes (see document.h); each text node outside
// script, style, textarea, pre, code, form controls and SVG/MathML is cut at
// its character references into pieces, and each piece, without its leading
// and trailing blanks, goes through the caller's rewrite as GBK text. A piece
// that comes back changed replaces exactly its own bytes, in the page's
// encoding; everything else (tags, attributes, comments, references, raw
// text) is copied from the page as it was.
//
// So a word pair never spans markup: "不得<b>不爱</b>" is two pieces, and the
// pair "不得不爱" does not fire there (nor across "&nbsp;"), while every pair
// that lies within one piece fires as it would on the text alone. A shuffle in
// the rewrite moves fragments only within its piece, and keywords go only
// into text. What the rewrite puts in that would read as markup ('<', '&') is
// written as a reference. A character the page's encoding cannot hold (a
// Big5 page given a simplified character) is written as a numeric reference,
// so the page keeps its encoding and its declaration holds as it stands.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "html/charset.h"

namespace html {

// Takes a piece of text (GBK) and returns its rewrite (GBK).
using TextRewriter = std::function<std::string(const std::string& gbkText)>;

struct KeepResult {
    std::string page;    // the rewritten page, in its own encoding
    PageCharset charset; // the encoding it was read and written in
    size_t pieces = 0;   // pieces of text given to the rewrite
    size_t changed = 0;  // pieces it changed
    std::string error;   // why the page was left as it was (too large...), empty on success
    bool ok() const { return error.empty(); }
};

KeepResult rewriteKeepingMarkup(std::string_view page, std::string_view contentType,
                                const TextRewriter& rewrite);

} // namespace html
