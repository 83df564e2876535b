#include "html/document.h"

#include <array>
#include <cstring>
#include <unordered_map>

#include "html/hints.h"

namespace html {
namespace {

bool isBlankByte(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}
bool isAlpha(unsigned char c) {
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}
char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
bool equalsNoCase(std::string_view a, std::string_view lowerB) {
    if (a.size() != lowerB.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lowerB[i]) return false;
    return true;
}

// FNV-1a of the lower-case name: tells unknown elements apart for end tags.
std::uint32_t nameHash(std::string_view name) {
    std::uint32_t h = 2166136261u;
    for (char c : name)
        h = (h ^ static_cast<unsigned char>(lower(c))) * 16777619u;
    return h;
}

// Elements of one kind in a list (posts, comments, items) share their class
// but for numbers in it.
std::uint32_t classHash(std::string_view cls) {
    if (cls.empty()) return 0;
    std::uint32_t h = 2166136261u;
    for (char c : cls)
        if (c < '0' || c > '9') h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    return h ? h : 1;
}

// The elements whose text a rewrite leaves alone: code, form controls,
// embedded content and everything read as raw text.
bool keepsTextInert(Tag t) {
    switch (t) {
    case Tag::Pre:
    case Tag::Listing:
    case Tag::Code:
    case Tag::Kbd:
    case Tag::Samp:
    case Tag::Textarea:
    case Tag::Button:
    case Tag::Select:
    case Tag::Option:
    case Tag::Optgroup:
    case Tag::Datalist:
    case Tag::Svg:
    case Tag::Math:
    case Tag::Template:
    case Tag::Script:
    case Tag::Style:
    case Tag::Noscript:
    case Tag::Iframe:
    case Tag::Noembed:
    case Tag::Noframes:
    case Tag::Xmp:
    case Tag::Plaintext:
    case Tag::Object:
    case Tag::Applet:
        return true;
    default:
        return false;
    }
}

// Code, reopened by the HTML5 rules after a block closes it implicitly; its
// text stays inert until its own end tag.
bool isReopenedCode(Tag t) {
    return t == Tag::Code || t == Tag::Kbd || t == Tag::Samp;
}

// Start tags that leave SVG and MathML content.
bool breaksOutOfForeign(Tag t) {
    switch (t) {
    case Tag::B:
    case Tag::Big:
    case Tag::Blockquote:
    case Tag::Body:
    case Tag::Br:
    case Tag::Center:
    case Tag::Code:
    case Tag::Dd:
    case Tag::Div:
    case Tag::Dl:
    case Tag::Dt:
    case Tag::Em:
    case Tag::Embed:
    case Tag::H1:
    case Tag::H2:
    case Tag::H3:
    case Tag::H4:
    case Tag::H5:
    case Tag::H6:
    case Tag::Head:
    case Tag::Hr:
    case Tag::I:
    case Tag::Img:
    case Tag::Li:
    case Tag::Listing:
    case Tag::Meta:
    case Tag::Nobr:
    case Tag::Ol:
    case Tag::P:
    case Tag::Pre:
    case Tag::S:
    case Tag::Small:
    case Tag::Span:
    case Tag::Strong:
    case Tag::Strike:
    case Tag::Sub:
    case Tag::Sup:
    case Tag::Table:
    case Tag::Tt:
    case Tag::U:
    case Tag::Ul:
    case Tag::Font:
        return true;
    default:
        return false;
    }
}

bool isScopeBoundary(Tag t) {
    switch (t) {
    case Tag::Applet:
    case Tag::Caption:
    case Tag::Html:
    case Tag::Table:
    case Tag::Td:
    case Tag::Th:
    case Tag::Marquee:
    case Tag::Object:
    case Tag::Template:
    case Tag::Svg:
    case Tag::Math:
        return true;
    default:
        return false;
    }
}

// The lower-case name of an element read as raw text.
std::string_view rawName(Tag t) {
    switch (t) {
    case Tag::Title:
        return "title";
    case Tag::Textarea:
        return "textarea";
    case Tag::Style:
        return "style";
    case Tag::Xmp:
        return "xmp";
    case Tag::Iframe:
        return "iframe";
    case Tag::Noembed:
        return "noembed";
    case Tag::Noframes:
        return "noframes";
    case Tag::Noscript:
        return "noscript";
    case Tag::Script:
        return "script";
    default:
        return "plaintext";
    }
}

bool isTablePart(Tag t) {
    return t == Tag::Table || t == Tag::Tbody || t == Tag::Thead || t == Tag::Tfoot || t == Tag::Tr;
}

struct Attributes {
    std::string_view cls, id, style;
    bool hidden = false, href = false;
};

class Builder {
  public:
    explicit Builder(std::string_view src) : m_src(src), m_n(src.size()) {
        m_doc.source = src;
        m_doc.nodes.reserve(src.size() / 24 + 16);
        m_doc.nodes.emplace_back(); // the root
        m_open.reserve(kMaxDepth);
    }

    Document run() {
        size_t i = 0;
        while (i < m_n) {
            const void* lt = std::memchr(m_src.data() + i, '<', m_n - i);
            size_t j = lt ? static_cast<const char*>(lt) - m_src.data() : m_n;
            if (j > i) addText(i, j, 0);
            if (j >= m_n) break;
            i = markup(j);
        }
        return std::move(m_doc);
    }

  private:
    std::string_view m_src;
    size_t m_n;
    Document m_doc;
    std::vector<std::uint32_t> m_open; // open elements (node indexes), the root not included
    int m_inert = 0;                   // open elements that keep their text inert
    int m_foreign = 0;                 // open SVG and MathML roots
    int m_overflow = 0;                // start tags past the depth limit not yet ended
    int m_reopenedCode = 0;
    std::array<std::uint32_t, static_cast<size_t>(Tag::Count)>
        m_openCount{}; // open elements by tag

    unsigned char at(size_t i) const { return i < m_n ? static_cast<unsigned char>(m_src[i]) : 0; }

    std::uint32_t current() const { return m_open.empty() ? 0 : m_open.back(); }
    Tag currentTag() const { return m_open.empty() ? Tag::Html : m_doc.nodes[m_open.back()].tag; }

    std::uint32_t append(Node node) {
        std::uint32_t parent = current();
        node.parent = parent;
        auto index = static_cast<std::uint32_t>(m_doc.nodes.size());
        m_doc.nodes.push_back(node);
        Node& p = m_doc.nodes[parent];
        if (p.lastChild)
            m_doc.nodes[p.lastChild].next = index;
        else
            p.firstChild = index;
        p.lastChild = index;
        return index;
    }

    void addText(size_t begin, size_t end, std::uint16_t flags) {
        bool blank = true;
        for (size_t k = begin; k < end && blank; ++k)
            blank = isBlankByte(at(k));
        if (m_inert > 0 || m_overflow > 0 || m_reopenedCode > 0 || m_foreign > 0) flags |= kInert;
        if (m_foreign > 0) flags |= kForeign;
        if (blank) flags |= kBlank;
        // Text that goes on where the last text ended (a '<' that was not
        // markup) joins it.
        std::uint32_t last = m_doc.nodes[current()].lastChild;
        if (last && m_doc.nodes[last].isText() && m_doc.nodes[last].end == begin &&
            !(m_doc.nodes[last].flags & kRaw) && !(flags & kRaw)) {
            Node& t = m_doc.nodes[last];
            t.end = static_cast<std::uint32_t>(end);
            if (!(flags & kBlank)) t.flags &= ~kBlank;
            t.flags |= flags & kInert;
            return;
        }
        Node t;
        t.begin = static_cast<std::uint32_t>(begin);
        t.end = static_cast<std::uint32_t>(end);
        t.flags = static_cast<std::uint16_t>(kText | flags);
        append(t);
    }

    void push(std::uint32_t index) {
        m_open.push_back(index);
        Tag t = m_doc.nodes[index].tag;
        ++m_openCount[static_cast<size_t>(t)];
        if (keepsTextInert(t)) ++m_inert;
        if (t == Tag::Svg || t == Tag::Math) ++m_foreign;
    }

    // Pops the current element; `byOwnEndTag` when its own end tag closed it.
    void pop(bool byOwnEndTag) {
        Tag t = m_doc.nodes[m_open.back()].tag;
        m_open.pop_back();
        --m_openCount[static_cast<size_t>(t)];
        if (keepsTextInert(t)) --m_inert;
        if (t == Tag::Svg || t == Tag::Math) --m_foreign;
        if (!byOwnEndTag && isReopenedCode(t) && m_reopenedCode < 1 << 20) ++m_reopenedCode;
    }

    // Pops up to and including the open element at stack position k.
    void popTo(size_t k, bool byOwnEndTag) {
        while (m_open.size() > k + 1)
            pop(false);
        pop(byOwnEndTag);
    }

    // The stack position of the innermost open `t` in scope, or -1.
    long inScope(Tag t, bool listScope = false, bool buttonScope = false,
                 bool tableScope = false) const {
        if (m_openCount[static_cast<size_t>(t)] == 0) return -1; // none open: no walk
        for (size_t k = m_open.size(); k-- > 0;) {
            Tag o = m_doc.nodes[m_open[k]].tag;
            if (o == t) return static_cast<long>(k);
            if (tableScope) {
                if (o == Tag::Table || o == Tag::Template) return -1;
                continue;
            }
            if (isScopeBoundary(o)) return -1;
            if (listScope && (o == Tag::Ul || o == Tag::Ol)) return -1;
            if (buttonScope && o == Tag::Button) return -1;
        }
        return -1;
    }

    void closeP() {
        long k = inScope(Tag::P, false, true);
        if (k >= 0) popTo(static_cast<size_t>(k), false);
    }

    // <li>, <dd>, <dt>: close the open item (stopping at special elements
    // other than address, div and p).
    void closeItem(Tag a, Tag b) {
        for (size_t k = m_open.size(); k-- > 0;) {
            Tag o = m_doc.nodes[m_open[k]].tag;
            if (o == a || o == b) {
                popTo(k, false);
                return;
            }
            if (isSpecial(o) && o != Tag::Address && o != Tag::Div && o != Tag::P) return;
        }
    }

    void startTag(Tag tag, std::uint32_t hash, size_t begin, size_t end, const Attributes& attrs,
                  bool selfClosing) {
        if (tag == Tag::Html || tag == Tag::Head || tag == Tag::Body) return;
        if (m_foreign > 0) {
            if (breaksOutOfForeign(tag)) {
                while (m_foreign > 0)
                    pop(false);
            } else {
                element(tag, hash, begin, end, attrs, !selfClosing);
                return;
            }
        }
        if (closesP(tag)) closeP();
        switch (tag) {
        case Tag::Li:
            closeItem(Tag::Li, Tag::Li);
            break;
        case Tag::Dd:
        case Tag::Dt:
            closeItem(Tag::Dd, Tag::Dt);
            break;
        case Tag::H1:
        case Tag::H2:
        case Tag::H3:
        case Tag::H4:
        case Tag::H5:
        case Tag::H6:
            if (isHeading(currentTag())) pop(false);
            break;
        case Tag::Option:
        case Tag::Optgroup:
            if (currentTag() == Tag::Option) pop(false);
            break;
        case Tag::Td:
        case Tag::Th: {
            long k = inScope(Tag::Td, false, false, true);
            long h = inScope(Tag::Th, false, false, true);
            k = std::max(k, h);
            if (k >= 0) popTo(static_cast<size_t>(k), false);
            break;
        }
        case Tag::Tr: {
            long k = inScope(Tag::Tr, false, false, true);
            if (k >= 0) popTo(static_cast<size_t>(k), false);
            break;
        }
        case Tag::Thead:
        case Tag::Tbody:
        case Tag::Tfoot:
            for (Tag s : {Tag::Thead, Tag::Tbody, Tag::Tfoot}) {
                long k = inScope(s, false, false, true);
                if (k >= 0) {
                    popTo(static_cast<size_t>(k), false);
                    break;
                }
            }
            break;
        case Tag::Table:
            // A table started directly inside a table closes it.
            if (isTablePart(currentTag())) {
                long k = inScope(Tag::Table, false, false, true);
                if (k >= 0) popTo(static_cast<size_t>(k), false);
            }
            break;
        case Tag::A: {
            long k = inScope(Tag::A);
            if (k >= 0) popTo(static_cast<size_t>(k), false);
            break;
        }
        case Tag::Button: {
            long k = inScope(Tag::Button);
            if (k >= 0) popTo(static_cast<size_t>(k), false);
            break;
        }
        default:
            break;
        }
        bool opens = !isVoid(tag);
        std::uint32_t index = element(tag, hash, begin, end, attrs, opens);
        if (opens && index && contentOf(tag) != Content::Normal) rawContent(tag, index);
    }

    // Pages repeat their class names: each is read once.
    std::unordered_map<std::string_view, std::uint8_t> m_classHints;
    std::uint8_t hint(std::string_view cls, std::string_view id) {
        if (!id.empty()) return hintOf(cls, id);
        auto it = m_classHints.find(cls);
        if (it != m_classHints.end()) return it->second;
        std::uint8_t h = hintOf(cls, {});
        if (m_classHints.size() < 4096) m_classHints.emplace(cls, h);
        return h;
    }

    // Adds an element; pushes it when it has content. Returns its index, or 0
    // when the depth limit kept it flat.
    std::uint32_t element(Tag tag, std::uint32_t hash, size_t begin, size_t end,
                          const Attributes& attrs, bool opens) {
        Node e;
        e.tag = tag;
        e.begin = static_cast<std::uint32_t>(begin);
        e.end = static_cast<std::uint32_t>(end);
        e.hint = hint(attrs.cls, attrs.id);
        if (attrs.hidden || styleHides(attrs.style)) e.flags |= kHidden;
        if (attrs.href) e.flags |= kHref;
        if (m_foreign > 0) e.flags |= kForeign;
        if (opens && m_open.size() >= kMaxDepth) {
            m_doc.depthLimited = true;
            ++m_overflow;
            return 0;
        }
        e.name = hash;
        e.cls = classHash(attrs.cls);
        std::uint32_t index = append(e);
        if (opens) push(index);
        return index;
    }

    void endTag(Tag tag, std::uint32_t hash) {
        if (m_overflow > 0) {
            --m_overflow;
            return;
        }
        if (tag == Tag::Html || tag == Tag::Head || tag == Tag::Body) return;
        if (tag == Tag::Br) {
            element(Tag::Br, hash, 0, 0, {}, false);
            return;
        }
        if (m_foreign > 0) {
            for (size_t k = m_open.size(); k-- > 0;) {
                const Node& o = m_doc.nodes[m_open[k]];
                if (o.name == hash) {
                    popTo(k, true);
                    return;
                }
                if (!(o.flags & kForeign)) break;
            }
            if (!breaksOutOfForeign(tag)) return;
        }
        long k = -1;
        switch (tag) {
        case Tag::P:
            k = inScope(Tag::P, false, true);
            break;
        case Tag::Li:
            k = inScope(Tag::Li, true);
            break;
        case Tag::H1:
        case Tag::H2:
        case Tag::H3:
        case Tag::H4:
        case Tag::H5:
        case Tag::H6:
            for (Tag h : {Tag::H1, Tag::H2, Tag::H3, Tag::H4, Tag::H5, Tag::H6})
                k = std::max(k, inScope(h));
            break;
        case Tag::Table:
        case Tag::Tbody:
        case Tag::Thead:
        case Tag::Tfoot:
        case Tag::Tr:
        case Tag::Td:
        case Tag::Th:
        case Tag::Caption:
            k = inScope(tag, false, false, true);
            break;
        default:
            if (isSpecial(tag)) {
                k = inScope(tag);
                break;
            }
            // Any other end tag closes the innermost element of its name,
            // unless a special element is open above it.
            for (size_t s = m_open.size(); s-- > 0;) {
                std::uint32_t idx = m_open[s];
                if (m_doc.nodes[idx].name == hash) {
                    k = static_cast<long>(s);
                    break;
                }
                if (isSpecial(m_doc.nodes[idx].tag)) break;
            }
            if (k < 0 && isReopenedCode(tag) && m_reopenedCode > 0) --m_reopenedCode;
            break;
        }
        if (k >= 0) popTo(static_cast<size_t>(k), true);
    }

    // The content of script, style, title, textarea...: one text node up to
    // the element's end tag.
    void rawContent(Tag tag, std::uint32_t index) {
        (void)index;
        size_t start = m_pos;
        std::string_view name = rawName(tag);
        size_t endTag = tag == Tag::Plaintext ? m_n
                        : tag == Tag::Script  ? scriptEnd(start)
                                              : rawEnd(start, name);
        if (endTag > start) addText(start, endTag, kRaw | (tag == Tag::Title ? 0 : kInert));
        if (endTag >= m_n) {
            m_pos = m_n;
            return;
        }
        // The end tag, read like any end tag (its attributes may hold quotes).
        size_t after = tagEnd(endTag + 2 + name.size());
        m_pos = after == kEof ? m_n : after;
        popTo(m_open.size() - 1, true);
    }

    // Position of "</name" followed by a blank, '/' or '>' at or after `from`.
    size_t rawEnd(size_t from, std::string_view name) const {
        size_t i = from;
        while (i < m_n) {
            const void* lt = std::memchr(m_src.data() + i, '<', m_n - i);
            if (!lt) return m_n;
            i = static_cast<const char*>(lt) - m_src.data();
            if (isEndTagOf(i, name)) return i;
            ++i;
        }
        return m_n;
    }

    bool isEndTagOf(size_t i, std::string_view name) const {
        if (at(i + 1) != '/' || i + 2 + name.size() >= m_n) return false;
        if (!equalsNoCase(m_src.substr(i + 2, name.size()), name)) return false;
        unsigned char c = at(i + 2 + name.size());
        return isBlankByte(c) || c == '/' || c == '>';
    }

    bool isStartTagOfScript(size_t i) const {
        if (i + 7 >= m_n || !equalsNoCase(m_src.substr(i + 1, 6), "script")) return false;
        unsigned char c = at(i + 7);
        return isBlankByte(c) || c == '/' || c == '>';
    }

    // The end of script data, with its escaped and double-escaped states:
    // "<!--" escapes, "<script" inside that escapes twice (its "</script"
    // does not end the script), and a '>' after two dashes ("-->", also
    // "<!-->") ends either escape.
    size_t scriptEnd(size_t from) const {
        enum { Data, Escaped, DoubleEscaped } state = Data;
        size_t dashesFrom = 0; // dashes before this index do not count
        size_t i = from;
        while (i < m_n) {
            unsigned char c = at(i);
            if (c == '<') {
                if (state != DoubleEscaped && isEndTagOf(i, "script")) return i;
                if (state == Data && m_src.compare(i, 4, "<!--") == 0) {
                    state = Escaped;
                    dashesFrom = i + 2;
                    i += 4;
                    continue;
                }
                if (state == Escaped && isStartTagOfScript(i)) {
                    state = DoubleEscaped;
                    i += 7;
                    continue;
                }
                if (state == DoubleEscaped && isEndTagOf(i, "script")) {
                    state = Escaped;
                    i += 8;
                    continue;
                }
            } else if (c == '>' && state != Data && i >= dashesFrom + 2 && at(i - 1) == '-' &&
                       at(i - 2) == '-') {
                state = Data;
            }
            ++i;
        }
        return m_n;
    }

    static constexpr size_t kEof = std::string_view::npos;

    // Skips the attributes of a tag from `i` to just after its '>' (quotes
    // respected); kEof when the page ends inside the tag.
    size_t tagEnd(size_t i, Attributes* attrs = nullptr, bool* selfClosing = nullptr) const {
        while (i < m_n) {
            unsigned char c = at(i);
            if (isBlankByte(c)) {
                ++i;
                continue;
            }
            if (c == '>') return i + 1;
            if (c == '/') {
                if (at(i + 1) == '>') {
                    if (selfClosing) *selfClosing = true;
                    return i + 2;
                }
                ++i;
                continue;
            }
            // Attribute name: its first character may be '='.
            size_t nameStart = i++;
            while (i < m_n && !isBlankByte(at(i)) && at(i) != '/' && at(i) != '>' && at(i) != '=')
                ++i;
            std::string_view attrName = m_src.substr(nameStart, i - nameStart);
            while (i < m_n && isBlankByte(at(i)))
                ++i;
            std::string_view value;
            bool hasValue = false;
            if (at(i) == '=' && i < m_n) {
                ++i;
                while (i < m_n && isBlankByte(at(i)))
                    ++i;
                unsigned char q = at(i);
                if (q == '"' || q == '\'') {
                    const void* close = std::memchr(m_src.data() + i + 1, q, m_n - i - 1);
                    if (!close) return kEof;
                    size_t e = static_cast<const char*>(close) - m_src.data();
                    value = m_src.substr(i + 1, e - i - 1);
                    i = e + 1;
                } else {
                    size_t s = i;
                    while (i < m_n && !isBlankByte(at(i)) && at(i) != '>')
                        ++i;
                    value = m_src.substr(s, i - s);
                }
                hasValue = true;
            }
            if (attrs) {
                if (equalsNoCase(attrName, "class"))
                    attrs->cls = value;
                else if (equalsNoCase(attrName, "id"))
                    attrs->id = value;
                else if (equalsNoCase(attrName, "style"))
                    attrs->style = value;
                else if (equalsNoCase(attrName, "hidden"))
                    attrs->hidden = true;
                else if (equalsNoCase(attrName, "href"))
                    attrs->href = hasValue && !value.empty();
            }
        }
        return kEof;
    }

    size_t m_pos = 0; // where reading goes on after a start tag

    // Reads the markup that starts at m_src[j] == '<'; returns where text
    // reading goes on.
    size_t markup(size_t j) {
        unsigned char c = at(j + 1);
        if (c == '!') {
            if (m_src.compare(j + 2, 2, "--") == 0) return commentEnd(j + 4);
            if (m_foreign > 0 && m_src.compare(j + 2, 7, "[CDATA[") == 0) {
                size_t e = m_src.find("]]>", j + 9);
                return e == std::string_view::npos ? m_n : e + 3;
            }
            return bogusEnd(j + 2);
        }
        if (c == '?') return bogusEnd(j + 1);
        if (c == '/') {
            unsigned char d = at(j + 2);
            if (isAlpha(d)) {
                size_t i = j + 2;
                while (i < m_n && !isBlankByte(at(i)) && at(i) != '/' && at(i) != '>')
                    ++i;
                std::string_view name = m_src.substr(j + 2, i - j - 2);
                size_t e = tagEnd(i);
                if (e == kEof) return m_n; // the page ends inside the tag
                endTag(lookup(name), nameHash(name));
                return e;
            }
            if (d == '>') return j + 3;
            if (j + 2 >= m_n) {
                addText(j, m_n, 0);
                return m_n;
            }
            return bogusEnd(j + 2);
        }
        if (isAlpha(c)) {
            size_t i = j + 1;
            while (i < m_n && !isBlankByte(at(i)) && at(i) != '/' && at(i) != '>')
                ++i;
            std::string_view name = m_src.substr(j + 1, i - j - 1);
            Attributes attrs;
            bool selfClosing = false;
            size_t e = tagEnd(i, &attrs, &selfClosing);
            if (e == kEof) return m_n; // the page ends inside the tag
            m_pos = e;
            startTag(lookup(name), nameHash(name), j, e, attrs, selfClosing);
            return m_pos;
        }
        // A '<' that starts no markup is text.
        addText(j, j + 1, 0);
        return j + 1;
    }

    static Tag lookup(std::string_view name) {
        char buf[16];
        if (name.size() > sizeof buf) return Tag::Other;
        for (size_t k = 0; k < name.size(); ++k)
            buf[k] = lower(name[k]);
        return tagFromName(std::string_view(buf, name.size()));
    }

    // After "<!--": "<!-->" and "<!--->" end at once; otherwise "-->" or
    // "--!>" ends the comment, and the end of the page does.
    size_t commentEnd(size_t k) const {
        if (at(k) == '>' && k < m_n) return k + 1;
        if (at(k) == '-' && at(k + 1) == '>' && k + 1 < m_n) return k + 2;
        size_t i = k;
        while (i < m_n) {
            const void* dash = std::memchr(m_src.data() + i, '-', m_n - i);
            if (!dash) return m_n;
            i = static_cast<const char*>(dash) - m_src.data();
            if (at(i + 1) == '-' && i + 1 < m_n) {
                if (at(i + 2) == '>' && i + 2 < m_n) return i + 3;
                if (at(i + 2) == '!' && at(i + 3) == '>' && i + 3 < m_n) return i + 4;
            }
            ++i;
        }
        return m_n;
    }

    size_t bogusEnd(size_t k) const {
        const void* gt = k < m_n ? std::memchr(m_src.data() + k, '>', m_n - k) : nullptr;
        return gt ? static_cast<const char*>(gt) - m_src.data() + 1 : m_n;
    }
};

} // namespace

Document parse(std::string_view bytes) {
    if (bytes.size() > kMaxPageBytes) bytes = bytes.substr(0, kMaxPageBytes);
    return Builder(bytes).run();
}

} // namespace html
