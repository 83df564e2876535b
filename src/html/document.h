#pragma once
// A web page read into a tree of elements and text, with every node pointing
// at its bytes in the page. The reader works on the page's own bytes: in every
// encoding it accepts (UTF-8, GB18030 and its subsets, Big5 and the other
// double-byte codes whose second bytes are 0x40 or above) the bytes that make
// up markup (< > / = quotes blanks ! - & ;) are never part of another
// character, so tags, comments and references are found without decoding.
//
// The tokenizer follows the HTML5 tokenizer for everything that decides where
// text ends and markup begins (tags with quoted attributes, comments with
// their odd endings, bogus comments, doctype, the raw text of script, style,
// title and textarea, script data with its escaped states, CDATA in SVG and
// MathML). The tree follows the HTML5 tree-construction rules that decide
// which element a text is in (void elements, implied end tags of p, li, dd,
// dt, option, table cells and rows, end tags that never close past a special
// element, breaking out of SVG). It leaves out what only moves nodes around
// (foster parenting, the adoption agency), so its work stays linear in the
// page: open elements are limited to kMaxDepth, and what is nested deeper is
// read flat and marked.
#include <cstdint>
#include <string_view>
#include <vector>

#include "html/tags.h"

namespace html {

inline constexpr size_t kMaxPageBytes = 16u << 20;
inline constexpr size_t kMaxDepth = 400;

enum NodeFlag : std::uint16_t {
    kText = 1,   // a text node (otherwise an element)
    kInert = 2,  // text the rewrite must leave alone (code, forms, raw text, past the depth limit)
    kRaw = 4,    // the whole content of a raw-text element (script, style, textarea...)
    kHidden = 8, // element: hidden by an attribute or an inline style
    kHref = 16,  // element: a link with an address
    kForeign = 32, // inside SVG or MathML
    kBlank = 64,   // text of blanks only
};

// Hints read off an element's class and id (see hints.h).
enum Hint : std::uint8_t {
    kHintGood = 1,    // names an article, its content or body
    kHintBad = 2,     // names navigation, sidebars, ads, footers, share bars...
    kHintComment = 4, // names comments or replies
    kHintTitle = 8,   // names a title
};

struct Node {
    std::uint32_t parent = 0;
    std::uint32_t firstChild = 0; // 0: none (node 0 is the root and nobody's child)
    std::uint32_t lastChild = 0;
    std::uint32_t next = 0;  // next sibling, 0: none
    std::uint32_t begin = 0; // text: its bytes; element: its start tag
    std::uint32_t end = 0;
    std::uint32_t name = 0; // element: a hash of its lower-case name
    std::uint32_t cls = 0;  // element: a hash of its class without digits (0: none)
    Tag tag = Tag::Other;
    std::uint8_t hint = 0;
    std::uint16_t flags = 0;
    bool isText() const { return flags & kText; }
};

struct Document {
    std::string_view source;
    std::vector<Node> nodes; // nodes[0] is the root
    bool depthLimited = false;
    std::string_view text(const Node& n) const { return source.substr(n.begin, n.end - n.begin); }
};

// Reads a page (at most kMaxPageBytes; longer input is read up to there).
Document parse(std::string_view bytes);

} // namespace html
