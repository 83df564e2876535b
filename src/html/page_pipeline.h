#pragma once
// A web page rewritten by the program's rewrite pipeline: the call every front
// end makes for an article that may be a page (see page.h for the modes).
//
// In keep mode every piece of the page's text goes through the pipeline on
// its own, so the shuffle moves fragments only within its piece. A piece the
// shuffle has nothing to reorder in (a link, a button, a heading: no
// punctuation between two runs of text) gets the synonym step only: the
// shuffle would give it no new order, only its closing full stop and the
// keyword, in every menu entry of the page.
#include <cstddef>
#include <string>
#include <string_view>

#include "engine/pipeline.h"
#include "html/page.h"

namespace html {

struct PipelinePage {
    PageResult page;
    // The text that was rewritten and its rewrite (GBK), for the originality
    // score: the article, or the page's pieces one a line.
    std::string source, rewritten;
    size_t replacements = 0; // occurrences replaced, all pieces together
};

PipelinePage rewritePageWith(std::string_view bytes, std::string_view contentType,
                             std::string_view fileName, Mode mode, const engine::Pipeline& pipeline,
                             engine::RewriteState& state);

// The same for a page the program already holds as text (GBK: pasted into
// the window, sent to the service): it is read as that text, whatever its
// <meta> says, and `page.output` is GBK text in either mode.
PipelinePage rewritePageText(const std::string& gbk, Mode mode, const engine::Pipeline& pipeline,
                             engine::RewriteState& state);

// A kept page as GBK text, for where only GBK goes (a form post): converted
// from its own encoding, its byte-order mark dropped, and its <meta> charset
// declaration, when it names another encoding, changed to gbk so that the
// page still reads right.
std::string pageAsGbk(std::string_view page, const PageCharset& cs);

} // namespace html
