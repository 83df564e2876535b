#include "html/keep.h"

#include <cctype>

#include "html/codec.h"
#include "html/document.h"
#include "html/text_scan.h"
#include "protocol/codepage.h"

namespace html {
namespace {

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Whether the text starts with an end tag of the title: "</title", in any
// case, then a blank, '/' or '>' (anything else leaves it text).
bool endsTitle(std::string_view rest) {
    constexpr std::string_view kEnd = "</title";
    if (rest.size() <= kEnd.size()) return false;
    for (size_t i = 0; i < kEnd.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(rest[i])) != kEnd[i]) return false;
    const char after = rest[kEnd.size()];
    return after == ' ' || after == '\t' || after == '\n' || after == '\f' || after == '\r' ||
           after == '/' || after == '>';
}

// What the rewrite put in that a browser would read as markup: a '<' that
// would open a tag, comment or declaration (in a title, whose text is read up
// to its end tag alone, only that; "</" that ends the page is text), and an
// '&' that starts a character reference. A '<' or '&' followed by
// anything else is text to a browser and stays as the page had it. A piece
// is followed in the page by a tag, a reference or the end, so what follows
// its last byte never joins with it. '<' and '&' are never the second byte of
// a GBK character.
std::string escapeMarkup(const std::string& gbk, bool inTitle, bool atPageEnd) {
    if (gbk.find_first_of("<&") == std::string::npos) return gbk;
    std::string out;
    out.reserve(gbk.size() + 16);
    for (size_t i = 0; i < gbk.size(); ++i) {
        const char c = gbk[i];
        const char next = i + 1 < gbk.size() ? gbk[i + 1] : '\0';
        auto opens = [&] {
            if (inTitle) return endsTitle(std::string_view(gbk).substr(i));
            // "</" at the very end of the page is text.
            if (next == '/') return !(atPageEnd && i + 2 == gbk.size());
            return isAsciiLetter(next) || next == '!' || next == '?';
        };
        if (c == '<' && opens())
            out += "&lt;";
        else if (c == '&' && referenceLength(gbk, i) > 0)
            out += "&amp;";
        else
            out += c;
    }
    return out;
}

class Splicer {
  public:
    Splicer(std::string_view body, const PageCharset& cs, const TextRewriter& rewrite,
            KeepResult& result)
        : m_body(body), m_cs(cs), m_rewrite(rewrite), m_result(result) {
        m_out.reserve(body.size() + body.size() / 8);
    }

    // The text node [begin, end): its pieces between references.
    void textNode(size_t begin, size_t end, bool inTitle) {
        m_inTitle = inTitle;
        size_t i = begin, pieceStart = begin;
        while (i < end) {
            if (m_body[i] == '&') {
                size_t len = referenceLength(m_body.substr(0, end), i);
                if (len > 0) {
                    piece(pieceStart, i);
                    i += len;
                    pieceStart = i;
                    continue;
                }
            }
            ++i;
        }
        piece(pieceStart, end);
    }

    std::string finish() {
        m_out.append(m_body.substr(m_copied));
        return std::move(m_out);
    }

  private:
    std::string_view m_body;
    const PageCharset& m_cs;
    const TextRewriter& m_rewrite;
    KeepResult& m_result;
    std::string m_out;
    size_t m_copied = 0;
    bool m_inTitle = false;

    void piece(size_t begin, size_t end) {
        while (begin < end && isBlank(static_cast<unsigned char>(m_body[begin])))
            ++begin;
        while (end > begin && isBlank(static_cast<unsigned char>(m_body[end - 1])))
            --end;
        if (begin >= end) return;
        std::string_view bytes = m_body.substr(begin, end - begin);
        std::string gbk;
        if (m_cs.charset == Charset::Gb18030) {
            if (!isValidGb18030(bytes)) return;
            gbk.assign(bytes);
        } else {
            bool clean = true;
            gbk = pageToGbk(bytes, m_cs, &clean);
            // Bytes the encoding does not know stay as they are.
            if (!clean) return;
        }
        ++m_result.pieces;
        std::string rewritten = m_rewrite(gbk);
        if (rewritten == gbk) return;
        ++m_result.changed;
        m_out.append(m_body.substr(m_copied, begin - m_copied));
        m_out += gbkToPage(escapeMarkup(rewritten, m_inTitle, end == m_body.size()), m_cs);
        m_copied = end;
    }
};

KeepResult keepBody(std::string_view page, const PageCharset& cs, const TextRewriter& rewrite) {
    KeepResult result;
    result.charset = cs;
    std::string_view body = page.substr(cs.bomLength);
    Document doc = parse(body);
    Splicer splicer(body, cs, rewrite, result);
    for (const Node& n : doc.nodes) {
        if (!n.isText() || (n.flags & (kInert | kBlank))) continue;
        splicer.textNode(n.begin, n.end, doc.nodes[n.parent].tag == Tag::Title);
    }
    result.page.assign(page.substr(0, cs.bomLength));
    result.page += splicer.finish();
    return result;
}

} // namespace

KeepResult rewriteKeepingMarkup(std::string_view page, std::string_view contentType,
                                const TextRewriter& rewrite) {
    PageCharset cs = detectCharset(page, contentType);
    KeepResult result;
    result.charset = cs;
    if (page.size() > kMaxPageBytes) {
        result.page.assign(page);
        result.error = "page too large";
        return result;
    }
    if (cs.charset != Charset::Utf16Le && cs.charset != Charset::Utf16Be)
        return keepBody(page, cs, rewrite);
    // UTF-16: rewritten as UTF-8 and written back, when the page goes there
    // and back unchanged (no unpaired surrogates).
    bool bigEndian = cs.charset == Charset::Utf16Be;
    std::string utf8 = pageToUtf8(page, cs);
    std::string bom =
        page.substr(0, cs.bomLength).data() ? std::string(page.substr(0, cs.bomLength)) : "";
    if (bom + utf8ToUtf16Bytes(utf8, bigEndian) != page) {
        result.page.assign(page);
        result.error = "page is not well-formed UTF-16";
        return result;
    }
    PageCharset inner;
    inner.charset = Charset::Utf8;
    KeepResult r = keepBody(utf8, inner, rewrite);
    r.charset = cs;
    r.page = bom + utf8ToUtf16Bytes(r.page, bigEndian);
    return r;
}

} // namespace html
