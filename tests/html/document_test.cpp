// The page reader's tree: which element each text lands in, by the HTML5
// rules that decide it, and what the tokenizer takes for text at all.
#include <gtest/gtest.h>

#include "html/document.h"

namespace {

// "text@tag>tag..." for every text of the page: its element and that
// element's parents, innermost first; "!" marks inert text.
std::string layout(const std::string& page) {
    html::Document doc = html::parse(page);
    static const char* const names[] = {
        "?",        "html",       "head",      "body",     "title",    "meta",       "link",
        "base",     "script",     "style",     "noscript", "template", "iframe",     "noembed",
        "noframes", "xmp",        "plaintext", "textarea", "form",     "fieldset",   "legend",
        "select",   "option",     "optgroup",  "datalist", "button",   "input",      "label",
        "svg",      "math",       "pre",       "listing",  "code",     "kbd",        "samp",
        "a",        "span",       "b",         "i",        "u",        "s",          "em",
        "strong",   "small",      "big",       "strike",   "tt",       "font",       "nobr",
        "sup",      "sub",        "p",         "div",      "br",       "hr",         "img",
        "h1",       "h2",         "h3",        "h4",       "h5",       "h6",         "ul",
        "ol",       "li",         "dl",        "dt",       "dd",       "blockquote", "article",
        "section",  "nav",        "aside",     "header",   "footer",   "main",       "address",
        "figure",   "figcaption", "details",   "summary",  "dialog",   "center",     "dir",
        "menu",     "hgroup",     "table",     "caption",  "colgroup", "col",        "thead",
        "tbody",    "tfoot",      "tr",        "td",       "th"};
    std::string out;
    for (const html::Node& n : doc.nodes) {
        if (!n.isText() || (n.flags & html::kBlank)) continue;
        if (!out.empty()) out += ' ';
        out += std::string(doc.text(n)) + (n.flags & html::kInert ? "!" : "") + "@";
        for (std::uint32_t p = n.parent; p; p = doc.nodes[p].parent) {
            auto t = static_cast<size_t>(doc.nodes[p].tag);
            out += t < std::size(names) ? names[t] : "x";
            if (doc.nodes[p].parent) out += '>';
        }
    }
    return out;
}

TEST(Document, TextLandsWhereABrowserPutsIt) {
    struct Row {
        const char* page;
        const char* layout;
    };
    const Row rows[] = {
        {"<p>a<p>b", "a@p b@p"},
        {"<p>a<div>b</div>c", "a@p b@div c@"},
        {"<ul><li>a<li>b</ul>c", "a@li>ul b@li>ul c@"},
        {"<dl><dt>a<dd>b</dl>", "a@dt>dl b@dd>dl"},
        {"<table><tr><td>a<td>b<tr><td>c</table>d", "a@td>tr>table b@td>tr>table c@td>tr>table d@"},
        {"<div><span>a</div>b</span>c", "a@span>div b@ c@"},
        {"<b><div>a</b>b</div>", "a@div>b b@div>b"},
        {"<h1>a<h2>b</h1>c", "a@h1 b@h2 c@"},
        {"<a href=x>a<a href=y>b</a>", "a@a b@a"},
        {"<select><option>a<option>b</select>", "a!@option>select b!@option>select"},
        {"<svg><p>a</p></svg>", "a@p"},
        {"<svg><text>a</text></svg>b", "a!@?>svg b@"},
        {"<pre><b>a</b></pre>b", "a!@b>pre b@"},
        {"<title>a<b>b</b></title>c", "a<b>b</b>@title c@"},
        {"<script>a</b>c</script>d", "a</b>c!@script d@"},
        {"<textarea>a</textarea>b", "a!@textarea b@"},
        {"a<!-- b -->c<!b>d<?e>f</ g>h", "a@ c@ d@ f@ h@"},
        {"a < b <3 </>c", "a < b <3 @ c@"},
        {"<div title='a>b'>c</div>", "c@div"},
        {"<p>a</P ><P>b</p>", "a@p b@p"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.page);
        EXPECT_EQ(layout(r.page), r.layout);
    }
}

} // namespace
