// The page reader's tokenizer against a reference HTML5 parser (gumbo): on
// the gold pages and on thousands of pages broken at random, every byte our
// reader takes for text, the reference takes for text too. (The reference's
// text spans also run over end tags it ignores, "a</span>b", which is why
// the rewrite does not splice by them: the other direction is not checked.)
#include <gtest/gtest.h>

#include <gumbo.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "html/document.h"

namespace fs = std::filesystem;

namespace {

void markReferenceText(const GumboNode* n, const std::string& page, std::vector<bool>& text) {
    if (n->type == GUMBO_NODE_TEXT || n->type == GUMBO_NODE_WHITESPACE ||
        n->type == GUMBO_NODE_CDATA) {
        const GumboStringPiece& o = n->v.text.original_text;
        if (o.data >= page.data() && o.data + o.length <= page.data() + page.size())
            for (size_t i = 0; i < o.length; ++i)
                text[static_cast<size_t>(o.data - page.data()) + i] = true;
        return;
    }
    if (n->type != GUMBO_NODE_ELEMENT && n->type != GUMBO_NODE_TEMPLATE &&
        n->type != GUMBO_NODE_DOCUMENT)
        return;
    const GumboVector& c =
        n->type == GUMBO_NODE_DOCUMENT ? n->v.document.children : n->v.element.children;
    for (unsigned i = 0; i < c.length; ++i)
        markReferenceText(static_cast<const GumboNode*>(c.data[i]), page, text);
}

// The first byte (not a blank, not past "</body>") that we take for text and
// the reference does not, or npos.
size_t firstFalseText(const std::string& page) {
    std::vector<bool> reference(page.size(), false);
    GumboOutput* out = gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
    markReferenceText(out->document, page, reference);
    gumbo_destroy_output(&kGumboDefaultOptions, out);
    // After the body the reference keeps no reliable positions.
    size_t end = std::min(page.size(), page.rfind("</body>"));
    html::Document doc = html::parse(page);
    for (const html::Node& n : doc.nodes) {
        if (!n.isText()) continue;
        for (size_t i = n.begin; i < n.end && i < end; ++i) {
            char c = page[i];
            if (c != ' ' && c != '\n' && c != '\t' && c != '\r' && !reference[i]) return i;
        }
    }
    return std::string::npos;
}

TEST(GumboAgreement, EveryByteWeTakeForTextIsText) {
    std::vector<std::string> pages;
    for (const auto& e : fs::directory_iterator(fs::path(WYC_SOURCE_DIR) / "bench" / "pages")) {
        if (e.path().extension() != ".html") continue;
        std::ifstream in(e.path(), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        pages.push_back(s.str());
    }
    ASSERT_FALSE(pages.empty());
    for (const std::string& p : pages)
        ASSERT_EQ(firstFalseText(p), std::string::npos);
    // Pages broken at random: markup cut, doubled and dropped into text.
    const char* const pieces[] = {
        "<",          ">",         "</",        "<!--",         "-->",     "--!>",    "<!-->",
        "<script>",   "</script>", "</script ", "<!--<script>", "<style>", "<title>", "</title>",
        "<textarea>", "<xmp>",     "</xmp>",    "<iframe>",     "&",       "&#",      ";",
        "\"",         "'",         "=",         "<pre>",        "</p>",    "<table>", "<td>",
        "<li>",       "<!DOCTYPE", "<?",        "</ >",         "<div>",   "</div>",  "<a href=x>",
        "</a>",       "<b>",       "<p>"};
    std::mt19937 rng(2024);
    for (int round = 0; round < 2000; ++round) {
        std::string page = pages[rng() % pages.size()];
        for (int m = 1 + static_cast<int>(rng() % 8); m > 0; --m) {
            size_t at = rng() % (page.size() + 1);
            if (rng() % 2)
                page.insert(at, pieces[rng() % std::size(pieces)]);
            else
                page.erase(at, rng() % 32);
        }
        size_t at = firstFalseText(page);
        ASSERT_EQ(at, std::string::npos) << page.substr(at > 60 ? at - 60 : 0, 120);
    }
}

} // namespace
