#include "html/extract.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "html/boilerplate.h"
#include "html/codec.h"
#include "html/document.h"
#include "html/script_text.h"
#include "html/text_stats.h"
#include "protocol/codepage.h"

namespace html {
namespace {

// Below this many characters of running text a page has no article.
constexpr float kMinArticle = 40.f;
// Title candidates looked at, at most.
constexpr size_t kMaxHeadings = 300;

bool skipsSubtree(Tag t) {
    switch (t) {
    case Tag::Title:
    case Tag::Script:
    case Tag::Style:
    case Tag::Noscript:
    case Tag::Template:
    case Tag::Textarea:
    case Tag::Select:
    case Tag::Option:
    case Tag::Optgroup:
    case Tag::Datalist:
    case Tag::Button:
    case Tag::Iframe:
    case Tag::Svg:
    case Tag::Math:
    case Tag::Object:
    case Tag::Applet:
    case Tag::Embed:
    case Tag::Input:
    case Tag::Noembed:
    case Tag::Noframes:
    case Tag::Frameset:
    case Tag::Canvas:
    case Tag::Video:
    case Tag::Audio:
    case Tag::Map:
    case Tag::Head:
    case Tag::Meta:
    case Tag::Link:
        return true;
    default:
        return false;
    }
}

bool isFurnitureTag(Tag t) {
    return t == Tag::Nav || t == Tag::Aside || t == Tag::Footer || t == Tag::Header ||
           t == Tag::Menu || t == Tag::Form;
}

struct TextEntry {
    std::uint32_t node;
    std::uint32_t words, punct, ends;
    bool link;
};

struct Block {
    std::uint32_t element = 0;          // innermost block-level element holding it
    std::uint32_t node = 0;             // its first text node: blocks are in this order
    std::uint32_t first = 0, count = 0; // its texts in Reader::m_texts
    std::uint32_t words = 0, linkWords = 0, punct = 0, ends = 0;
    std::uint32_t heading = 0; // the heading (or title-named element) it is in
    std::uint32_t badAt = 0;   // innermost furniture element above it
    bool pre = false;
    bool hidden = false;
};

struct Context {
    std::uint32_t block = 0, heading = 0;
    bool link = false, pre = false;
};

class Reader {
  public:
    Reader(const Document& doc, bool utf8) : m_doc(doc), m_utf8(utf8) {}

    Article read() {
        Article a;
        prepare();
        const size_t n = m_doc.nodes.size();
        // Running text per element, class names aside: it tells wrappers
        // with misleading names ("has-sidebar") and lists of posts.
        tally();
        score();
        std::vector<float> plainProse = m_prose;
        const float total = plainProse[0];
        // Hidden text is no article, unless it is most of the page's text
        // (an article a script shows, a "read all" fold).
        hiddenFor(0.5f * total, 1);
        markPostLists();
        // Lists of headlines with summaries (a feed under the article, or
        // the whole of a listing page) are never part of an article.
        std::vector<std::uint32_t> listings = listingLists();
        float listed = 0;
        for (std::uint32_t l : listings) {
            m_furniture[l] = 2;
            listed = std::max(listed, plainProse[l]);
        }
        for (size_t i = 1; i < n; ++i) {
            const Node& node = m_doc.nodes[i];
            if (node.isText() || m_furniture[i]) continue;
            bool named = (node.hint & kHintBad) || isFurnitureTag(node.tag);
            // A wrapper of most of the page's text is no furniture whatever its name.
            bool wrapper = !(node.hint & kHintComment) && plainProse[i] > 0.5f * total;
            if (named && !wrapper) m_furniture[i] = 1;
        }
        furnitureFor(true);
        tally();
        std::uint32_t best = bestElement(0, static_cast<std::uint32_t>(n));
        if (m_score[best] < kMinArticle) {
            // Class names can mislead: try without them.
            for (size_t i = 0; i < n; ++i)
                if (m_furniture[i] == 1) m_furniture[i] = 0;
            furnitureFor(true);
            tally();
            best = bestElement(0, static_cast<std::uint32_t>(n));
        }
        if (m_score[best] < kMinArticle) {
            bool listing = listed >= 0.5f * total && total > 0;
            a.missing = listing ? NoArticle::Listing : NoArticle::NoText;
            a.reason = listing ? "the page lists items and has no article of its own"
                               : "no running text on the page";
            return a;
        }
        if (auto records = recordsOf(best); records.size() >= 2 && isThread(records))
            best = bestElement(records[0], m_end[records[0]]);
        std::uint32_t titleElement = 0;
        std::string title = findTitle(best, titleElement);
        body(best, title, titleElement, a.paragraphs);
        if (m_bodyWords < kMinArticle / 2) {
            a.paragraphs.clear();
            a.missing = NoArticle::NoText;
            a.reason = "no running text on the page";
            return a;
        }
        a.title = toGbk(title);
        for (std::string& p : a.paragraphs)
            p = toGbk(p);
        return a;
    }

    // The page's title alone (GBK), for an article read elsewhere.
    std::string titleOnly() {
        prepare();
        std::uint32_t element = 0;
        return toGbk(findTitle(0, element));
    }

  private:
    // Blocks, subtree ends, and no furniture or hidden element yet.
    void prepare() {
        collect();
        const size_t n = m_doc.nodes.size();
        m_end.assign(n, 0);
        for (size_t i = n; i-- > 0;) {
            const Node& node = m_doc.nodes[i];
            m_end[i] = node.lastChild ? m_end[node.lastChild] : static_cast<std::uint32_t>(i + 1);
        }
        m_furniture.assign(n, 0);
        furnitureFor(false);
        hiddenFor(0, 0);
    }

    const Document& m_doc;
    bool m_utf8;
    std::vector<Block> m_blocks;
    std::vector<TextEntry> m_texts;
    std::vector<float> m_score;
    std::vector<float> m_prose;                 // running text only
    std::vector<std::uint32_t> m_end;           // one past the last node of each subtree
    std::vector<std::uint8_t> m_furniture;      // 1: named so, 2: a later post of a list
    std::vector<std::uint32_t> m_nearestBad;    // innermost furniture element at or above
    std::vector<std::uint32_t> m_nearestHidden; // innermost hidden element at or above
    std::vector<std::uint32_t> m_firstPosts;    // first records of lists of posts
    Block m_open;
    bool m_hasOpen = false;
    size_t m_bodyWords = 0; // characters of the paragraphs taken

    std::string toGbk(const std::string& s) const { return m_utf8 ? cp::utf8ToGbk(s) : s; }

    void flush() {
        if (m_hasOpen) m_blocks.push_back(m_open);
        m_hasOpen = false;
    }

    void text(std::uint32_t index, const Context& ctx) {
        const Node& t = m_doc.nodes[index];
        if (!m_hasOpen) {
            if (t.flags & kBlank) return;
            m_open = Block{};
            m_open.element = ctx.block;
            m_open.node = index;
            m_open.first = static_cast<std::uint32_t>(m_texts.size());
            m_open.heading = ctx.heading;
            m_open.pre = ctx.pre;
            m_hasOpen = true;
        }
        TextEntry e{index, 0, 0, 0, ctx.link};
        if (!(t.flags & kBlank)) {
            CharCounts c;
            countChars(m_doc.text(t), m_utf8, c);
            e.words = c.words;
            e.punct = c.punct;
            e.ends = c.ends;
        }
        m_texts.push_back(e);
        ++m_open.count;
    }

    // A footnote mark: a superscript "[1]" that points at a reference.
    bool isCitationMark(std::uint32_t sup) const {
        size_t length = 0;
        bool bracket = false;
        std::vector<std::uint32_t> stack{m_doc.nodes[sup].firstChild};
        while (!stack.empty()) {
            std::uint32_t c = stack.back();
            stack.pop_back();
            for (; c; c = m_doc.nodes[c].next) {
                const Node& n = m_doc.nodes[c];
                if (n.isText()) {
                    std::string_view t = m_doc.text(n);
                    length += t.size();
                    if (t.find('[') != std::string_view::npos) bracket = true;
                    if (length > 12) return false;
                } else if (n.firstChild) {
                    stack.push_back(n.firstChild);
                }
            }
        }
        return bracket;
    }

    // Walks the tree in document order, cutting its text into blocks.
    void collect() {
        struct Frame {
            std::uint32_t node, child;
            Context ctx;
        };
        std::vector<Frame> stack;
        stack.push_back({0, m_doc.nodes[0].firstChild, {}});
        while (!stack.empty()) {
            Frame& f = stack.back();
            if (!f.child) {
                if (f.node && isBlock(m_doc.nodes[f.node].tag)) flush();
                stack.pop_back();
                continue;
            }
            std::uint32_t c = f.child;
            const Node& node = m_doc.nodes[c];
            f.child = node.next;
            Context ctx = f.ctx;
            if (node.isText()) {
                text(c, ctx);
                continue;
            }
            if ((node.flags & kForeign) || skipsSubtree(node.tag)) continue;
            if (node.tag == Tag::Br || node.tag == Tag::Hr) {
                flush();
                continue;
            }
            if (node.tag == Tag::Sup && isCitationMark(c)) continue;
            if (node.tag == Tag::A && (node.flags & kHref)) ctx.link = true;
            if (isHeading(node.tag) || ((node.hint & kHintTitle) && !ctx.heading)) ctx.heading = c;
            if (node.tag == Tag::Pre || node.tag == Tag::Listing) ctx.pre = true;
            if (isBlock(node.tag)) {
                flush();
                ctx.block = c;
            }
            stack.push_back({c, node.firstChild, ctx});
        }
        flush();
    }

    // The innermost furniture element at or above each node (parents come
    // before their children in the node order).
    void furnitureFor(bool use) {
        m_nearestBad.assign(m_doc.nodes.size(), 0);
        if (!use) return;
        for (size_t i = 1; i < m_doc.nodes.size(); ++i)
            m_nearestBad[i] = m_furniture[i] ? static_cast<std::uint32_t>(i)
                                             : m_nearestBad[m_doc.nodes[i].parent];
    }

    // The innermost hidden element at or above each node; one with more
    // running text than `most` does not count.
    void hiddenFor(float most, int use) {
        m_nearestHidden.assign(m_doc.nodes.size(), 0);
        if (!use) return;
        for (size_t i = 1; i < m_doc.nodes.size(); ++i) {
            const Node& node = m_doc.nodes[i];
            bool hidden = !node.isText() && (node.flags & kHidden) && m_prose[i] <= most;
            m_nearestHidden[i] =
                hidden ? static_cast<std::uint32_t>(i) : m_nearestHidden[node.parent];
        }
    }

    // The counts of each block, without the furniture inside it (an edit
    // link in a heading, a date in a paragraph).
    void tally() {
        for (Block& b : m_blocks) {
            b.badAt = m_nearestBad[b.element];
            b.hidden = m_nearestHidden[b.element] != 0;
            b.words = b.linkWords = b.punct = b.ends = 0;
            for (std::uint32_t k = b.first; k < b.first + b.count; ++k) {
                const TextEntry& e = m_texts[k];
                if (!included(b, e)) continue;
                b.words += e.words;
                if (e.link) b.linkWords += e.words;
                b.punct += e.punct;
                b.ends += e.ends;
            }
        }
    }

    bool included(const Block& b, const TextEntry& e) const {
        std::uint32_t parent = m_doc.nodes[e.node].parent;
        return m_nearestBad[parent] == b.badAt &&
               m_nearestHidden[parent] == m_nearestHidden[b.element];
    }

    // Running text: mostly not links, with sentence punctuation or length.
    // Encyclopedias link many words of their paragraphs; punctuation tells
    // those from lists of links.
    bool isProse(const Block& b) const {
        std::uint32_t own = b.words - b.linkWords;
        if (own < 8) return false;
        if (b.linkWords * 3 <= b.words) return b.punct + b.ends >= 1 || own >= 30;
        return b.linkWords * 2 <= b.words && own >= 20 && b.punct + b.ends >= 2;
    }

    float value(const Block& b) const {
        if (b.hidden) return 0.f;
        float own = static_cast<float>(b.words - b.linkWords);
        bool bad = b.badAt != 0;
        if (b.heading && !bad) return 0.f;
        if (isProse(b)) return bad ? -0.5f * own : own;
        return -(static_cast<float>(b.linkWords) + 0.25f * own);
    }

    void score() {
        size_t n = m_doc.nodes.size();
        m_score.assign(n, 0.f);
        m_prose.assign(n, 0.f);
        for (const Block& b : m_blocks) {
            float v = value(b);
            m_score[b.element] += v;
            if (v > 0) m_prose[b.element] += v;
        }
        for (size_t i = n; i-- > 1;) {
            const Node& node = m_doc.nodes[i];
            if (node.isText()) continue;
            m_score[node.parent] += m_score[i];
            m_prose[node.parent] += m_prose[i];
        }
    }

    // The element in [from, to) whose blocks are worth the most together.
    std::uint32_t bestElement(std::uint32_t from, std::uint32_t to) {
        score();
        std::uint32_t best = from;
        for (std::uint32_t i = to; i-- > from;)
            if (!m_doc.nodes[i].isText() && m_score[i] > m_score[best]) best = i;
        return best;
    }

    // Groups of children that repeat one kind (same tag and class) under an
    // element, in document order, each with running text.
    template <typename Visit> void repeatedChildren(Visit visit) const {
        std::vector<std::pair<std::uint64_t, std::uint32_t>> kids;
        for (size_t p = 0; p < m_doc.nodes.size(); ++p) {
            const Node& parent = m_doc.nodes[p];
            if (parent.isText() || m_prose[p] <= 0) continue;
            kids.clear();
            for (std::uint32_t c = parent.firstChild; c; c = m_doc.nodes[c].next) {
                const Node& node = m_doc.nodes[c];
                if (!node.isText() && m_prose[c] > 0)
                    kids.emplace_back((std::uint64_t(node.tag) << 32) | node.cls, c);
            }
            if (kids.size() < 2) continue;
            std::stable_sort(kids.begin(), kids.end(),
                             [](const auto& x, const auto& y) { return x.first < y.first; });
            for (size_t i = 0; i < kids.size();) {
                size_t j = i;
                std::vector<std::uint32_t> members;
                while (j < kids.size() && kids[j].first == kids[i].first)
                    members.push_back(kids[j++].second);
                if (members.size() >= 2) visit(static_cast<std::uint32_t>(p), members);
                i = j;
            }
        }
    }

    // The blocks of the subtree of `e`: [first, last) in m_blocks.
    std::pair<size_t, size_t> blockRange(std::uint32_t e) const {
        auto byNode = [](const Block& b, std::uint32_t v) { return b.node < v; };
        auto first = std::lower_bound(m_blocks.begin(), m_blocks.end(), e, byNode);
        auto last = std::lower_bound(first, m_blocks.end(), m_end[e], byNode);
        return {static_cast<size_t>(first - m_blocks.begin()),
                static_cast<size_t>(last - m_blocks.begin())};
    }

    // A post's marks sit among its first blocks: only those are read.
    bool hasPostMarker(std::uint32_t record) const {
        auto [first, last] = blockRange(record);
        for (size_t k = first; k < last && k < first + 8; ++k) {
            const Block& b = m_blocks[k];
            if (b.words >= 40) continue;
            std::string t = blockText(b);
            if (isPostMarker(t, m_utf8) || (b.ends == 0 && hasDate(t, m_utf8))) return true;
        }
        return false;
    }

    size_t blockCount(std::uint32_t e) const {
        auto [first, last] = blockRange(e);
        return last - first;
    }

    // Lists of posts or comments (items of several blocks, most with a
    // date, a floor or a reply link): only the first item can be the article.
    void markPostLists() {
        repeatedChildren([&](std::uint32_t, const std::vector<std::uint32_t>& members) {
            if (members.size() < 3) return;
            size_t marked = 0, multi = 0;
            for (std::uint32_t m : members)
                if (blockCount(m) >= 2) ++multi;
            if (multi * 5 < members.size() * 3) return;
            for (std::uint32_t m : members)
                if (hasPostMarker(m)) ++marked;
            if (marked * 5 < members.size() * 3) return;
            m_firstPosts.push_back(members[0]);
            for (size_t k = 1; k < members.size(); ++k)
                m_furniture[members[k]] = 2;
        });
    }

    // Lists of headline-and-summary items: the elements that hold them.
    std::vector<std::uint32_t> listingLists() const {
        std::vector<std::uint32_t> out;
        repeatedChildren([&](std::uint32_t parent, const std::vector<std::uint32_t>& members) {
            if (members.size() >= 4 && isListing(members)) out.push_back(parent);
        });
        return out;
    }

    // The children of `e` that repeat one kind and hold most of its running
    // text: posts of a thread.
    std::vector<std::uint32_t> recordsOf(std::uint32_t e) const {
        std::vector<std::uint32_t> best;
        float bestProse = 0;
        repeatedChildren([&](std::uint32_t parent, const std::vector<std::uint32_t>& members) {
            if (parent != e) return;
            float p = 0;
            for (std::uint32_t m : members)
                p += m_prose[m];
            if (p > bestProse) {
                bestProse = p;
                best = members;
            }
        });
        if (bestProse < 0.7f * m_prose[e]) return {};
        return best;
    }

    // Blocks of the subtree of `e`.
    template <typename Visit> void blocksIn(std::uint32_t e, Visit visit) const {
        auto [first, last] = blockRange(e);
        for (size_t k = first; k < last; ++k)
            visit(m_blocks[k]);
    }

    bool isListing(const std::vector<std::uint32_t>& records) const {
        size_t headlines = 0;
        float most = 0;
        for (std::uint32_t r : records) {
            most = std::max(most, m_prose[r]);
            auto [first, last] = blockRange(r);
            if (first < last) {
                const Block& b = m_blocks[first];
                if (b.linkWords >= 6 && b.linkWords * 2 >= b.words) ++headlines;
            }
        }
        return headlines * 4 >= records.size() * 3 && most < 400;
    }

    bool isThread(const std::vector<std::uint32_t>& records) const {
        size_t multi = 0;
        for (std::uint32_t r : records)
            if (blockCount(r) >= 2) ++multi;
        if (multi * 5 < records.size() * 3) return false;
        size_t marked = 0;
        for (std::uint32_t r : records)
            if (hasPostMarker(r)) ++marked;
        return marked >= 2;
    }

    std::string blockText(const Block& b) const {
        std::string out;
        for (std::uint32_t k = b.first; k < b.first + b.count; ++k) {
            if (!included(b, m_texts[k])) continue;
            appendText(out, m_doc.text(m_doc.nodes[m_texts[k].node]), m_utf8, b.pre);
        }
        return b.pre ? out : trimText(out, m_utf8);
    }

    std::string titleElementText() const {
        for (const Node& n : m_doc.nodes)
            if (!n.isText() && n.tag == Tag::Title && !(n.flags & kForeign)) {
                if (!n.firstChild) return {};
                std::string out;
                appendText(out, m_doc.text(m_doc.nodes[n.firstChild]), m_utf8);
                return trimText(out, m_utf8);
            }
        return {};
    }

    // The share of the candidate's character pairs found in the title.
    float agreement(const std::string& candidate,
                    const std::unordered_set<std::uint64_t>& pairs) const {
        std::vector<std::uint32_t> w = wordChars(candidate, m_utf8);
        if (w.size() < 2 || pairs.empty()) return 0;
        size_t hit = 0;
        for (size_t i = 0; i + 1 < w.size(); ++i)
            hit += pairs.count((std::uint64_t(w[i]) << 32) | w[i + 1]);
        return static_cast<float>(hit) / static_cast<float>(w.size() - 1);
    }

    std::string findTitle(std::uint32_t body, std::uint32_t& titleElement) const {
        std::string pageTitle = titleElementText();
        std::vector<std::uint32_t> tw = wordChars(pageTitle, m_utf8);
        std::unordered_set<std::uint64_t> pairs;
        for (size_t i = 0; i + 1 < tw.size(); ++i)
            pairs.insert((std::uint64_t(tw[i]) << 32) | tw[i + 1]);
        // Headings with their text, in document order.
        std::vector<std::pair<std::uint32_t, std::string>> headings;
        for (const Block& b : m_blocks) {
            if (!b.heading || b.heading >= m_end[body]) continue;
            if (headings.empty() || headings.back().first != b.heading) {
                if (headings.size() >= kMaxHeadings) break;
                headings.emplace_back(b.heading, std::string());
            }
            std::string& s = headings.back().second;
            if (!s.empty()) s += ' ';
            s += blockText(b);
        }
        float bestScore = 0;
        std::string best;
        for (auto& [element, text] : headings) {
            text = trimTitle(text);
            float s = agreement(text, pairs);
            Tag tag = m_doc.nodes[element].tag;
            // An h1 is the likeliest title, then the other headings; inside
            // or just before the body beats far away.
            s += tag == Tag::H1 ? 0.15f : isHeading(tag) ? 0.05f : 0.f;
            if (element >= body && element < m_end[body]) s += 0.05f;
            if (s > bestScore && wordChars(text, m_utf8).size() >= 4) {
                bestScore = s;
                best = text;
                titleElement = element;
            }
        }
        if (bestScore >= 0.65f) return best;
        titleElement = 0;
        std::string cleaned = cleanTitle(pageTitle, m_utf8);
        if (wordChars(cleaned, m_utf8).size() >= 4) return cleaned;
        // A <title> of the site's name only: the last heading before the body's text.
        std::uint32_t firstText = m_end[body];
        blocksIn(body, [&](const Block& b) { firstText = std::min(firstText, b.node); });
        for (auto it = headings.rbegin(); it != headings.rend(); ++it) {
            if (it->first > firstText || wordChars(it->second, m_utf8).size() < 2) continue;
            titleElement = it->first;
            return it->second;
        }
        return cleaned;
    }

    // A heading without the anchor marks some sites put after it.
    std::string trimTitle(std::string t) const {
        for (;;) {
            if (!t.empty() && (t.back() == '#' || t.back() == ' ')) {
                t.pop_back();
            } else if (m_utf8 && t.size() >= 2 && t.compare(t.size() - 2, 2, "\xC2\xB6") == 0) {
                t.resize(t.size() - 2); // the pilcrow
            } else {
                return t;
            }
        }
    }

    // A block in a table or definition list none of whose entries is
    // running text: an infobox, a table of facts beside the article.
    bool inFactTable(const Block& b, std::uint32_t e) const {
        int levels = 0; // fact tables sit near their cells
        for (std::uint32_t k = b.element; k > e && levels < 32;
             k = m_doc.nodes[k].parent, ++levels) {
            Tag t = m_doc.nodes[k].tag;
            if (t == Tag::Table || t == Tag::Dl) return m_prose[k] <= 0;
        }
        return false;
    }

    void body(std::uint32_t e, const std::string& title, std::uint32_t titleElement,
              std::vector<std::string>& out) {
        struct Line {
            std::string text;
            const Block* block;
            bool meta;
        };
        // The first post of a list inside the body, when the body is not in it.
        std::vector<std::pair<std::uint32_t, std::uint32_t>> skip;
        for (std::uint32_t f : m_firstPosts)
            if (f > e && f < m_end[e]) skip.emplace_back(f, m_end[f]);
        std::vector<Line> lines;
        std::vector<std::uint32_t> titleWords = wordChars(title, m_utf8);
        blocksIn(e, [&](const Block& b) {
            if (b.badAt > e || b.hidden) return;
            for (const auto& [from, to] : skip)
                if (b.node >= from && b.node < to) return;
            if (titleElement && b.heading == titleElement) return;
            if (!b.heading && b.linkWords * 2 > b.words) return;
            if (!b.heading && !b.pre && b.words < 12 && inFactTable(b, e)) return;
            std::string text = blockText(b);
            LineKind kind = classifyLine(text, b.words, b.ends, m_utf8);
            if (kind == LineKind::Furniture) return;
            if (!b.pre) {
                if (b.words == titleWords.size() && wordChars(text, m_utf8) == titleWords) return;
                lines.push_back({std::move(text), &b, kind == LineKind::Meta});
                return;
            }
            size_t start = 0;
            while (start <= text.size()) {
                size_t nl = text.find('\n', start);
                if (nl == std::string::npos) nl = text.size();
                std::string line =
                    trimText(std::string_view(text).substr(start, nl - start), m_utf8);
                if (!line.empty()) lines.push_back({std::move(line), &b, false});
                start = nl + 1;
            }
        });
        // At the top, source and date lines; at the end, those and short
        // lines without a full stop (tags, editors, "more").
        size_t first = 0;
        while (first < lines.size() && lines[first].meta)
            ++first;
        while (lines.size() > first) {
            const Line& l = lines.back();
            if (!l.meta && (l.block->pre || l.block->ends > 0 || l.block->words >= 12)) break;
            lines.pop_back();
        }
        const Block* last = nullptr;
        for (size_t k = first; k < lines.size(); ++k) {
            Line& l = lines[k];
            if (l.text.empty()) continue;
            if (l.block != last) m_bodyWords += l.block->words;
            last = l.block;
            out.push_back(std::move(l.text));
        }
    }
};

} // namespace

std::string Article::text(std::string_view lineBreak) const {
    if (!found()) return {};
    std::string out = title;
    out += lineBreak;
    out += lineBreak;
    for (const std::string& p : paragraphs) {
        out += p;
        out += lineBreak;
    }
    return out;
}

namespace {

// The article a script carries, when the page's markup has none worth the name.
void fromScripts(const Document& doc, bool utf8, Article& r) {
    CharCounts found; // the paragraphs are GBK by now
    for (const std::string& p : r.paragraphs)
        countChars(p, false, found);
    if (found.words >= 200) return;
    std::string markup = articleInScripts(doc, utf8, r.found() ? 150 : 100);
    CharCounts inScript;
    countChars(markup, utf8, inScript);
    if (inScript.words < 2 * found.words + 100) return;
    Document inner = parse(markup);
    Article fromScript = Reader(inner, utf8).read();
    if (!fromScript.found()) return;
    fromScript.title = r.found() ? r.title : Reader(doc, utf8).titleOnly();
    r = std::move(fromScript);
}

Article read(std::string_view work, bool utf8) {
    Document doc = parse(work);
    Article r = Reader(doc, utf8).read();
    fromScripts(doc, utf8, r);
    return r;
}

} // namespace

Article extractArticle(std::string_view page, std::string_view contentType) {
    Article a;
    a.charset = detectCharset(page, contentType);
    if (page.size() > kMaxPageBytes) {
        a.missing = NoArticle::TooLarge;
        a.reason = "page too large";
        return a;
    }
    Article r;
    if (a.charset.charset == Charset::Utf8 || a.charset.charset == Charset::Gb18030)
        r = read(page.substr(a.charset.bomLength), a.charset.charset == Charset::Utf8);
    else
        r = read(pageToUtf8(page, a.charset), true);
    r.charset = a.charset;
    return r;
}

} // namespace html
