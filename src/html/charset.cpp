#include "html/charset.h"

#include <string>

#include "protocol/codepage.h"

namespace html {
namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}
std::string lowerTrimmed(std::string_view s) {
    while (!s.empty() && (blank(s.front()) || s.front() == '"' || s.front() == '\''))
        s.remove_prefix(1);
    while (!s.empty() &&
           (blank(s.back()) || s.back() == '"' || s.back() == '\'' || s.back() == ';'))
        s.remove_suffix(1);
    std::string out(s);
    for (char& c : out)
        c = lower(c);
    return out;
}
bool startsWithNoCase(std::string_view s, std::string_view lowerPrefix) {
    if (s.size() < lowerPrefix.size()) return false;
    for (size_t i = 0; i < lowerPrefix.size(); ++i)
        if (lower(s[i]) != lowerPrefix[i]) return false;
    return true;
}
size_t findNoCase(std::string_view s, std::string_view lowerNeedle, size_t from = 0) {
    for (size_t i = from; i + lowerNeedle.size() <= s.size(); ++i)
        if (startsWithNoCase(s.substr(i), lowerNeedle)) return i;
    return std::string_view::npos;
}

PageCharset make(Charset c, const char* iconvName) {
    PageCharset pc;
    pc.charset = c;
    pc.iconvName = iconvName;
    return pc;
}

// The charset=... inside a Content-Type value or a <meta content>.
std::string_view charsetParameter(std::string_view s) {
    size_t k = findNoCase(s, "charset");
    if (k == std::string_view::npos) return {};
    k += 7;
    while (k < s.size() && blank(s[k]))
        ++k;
    if (k >= s.size() || s[k] != '=') return {};
    ++k;
    while (k < s.size() && blank(s[k]))
        ++k;
    if (k < s.size() && (s[k] == '"' || s[k] == '\'')) {
        char q = s[k++];
        size_t e = s.find(q, k);
        return s.substr(k, e == std::string_view::npos ? std::string_view::npos : e - k);
    }
    size_t e = k;
    while (e < s.size() && !blank(s[e]) && s[e] != ';' && s[e] != '"' && s[e] != '\'')
        ++e;
    return s.substr(k, e - k);
}

// A declaration the bytes plainly contradict: a page declared GBK (or any
// code other than UTF-8) that is well-formed UTF-8 with many multi-byte
// characters, which text in those codes almost never is by chance; or a page
// declared UTF-8 whose bytes are not UTF-8 in many places. Servers and
// templates that copy a header from another site say such things.
bool contradicts(const PageCharset& declared, std::string_view page) {
    size_t multi = 0, invalid = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(page.data());
    const size_t n = page.size();
    for (size_t i = 0; i < n;) {
        unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        size_t len = b >= 0xF5 ? 0 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
        bool ok = len > 0 && i + len <= n;
        for (size_t k = 1; ok && k < len; ++k)
            ok = (p[i + k] & 0xC0) == 0x80;
        // Overlong and surrogate forms are not UTF-8 either.
        if (ok && len == 3)
            ok = !(b == 0xE0 && p[i + 1] < 0xA0) && !(b == 0xED && p[i + 1] >= 0xA0);
        if (ok && len == 4)
            ok = !(b == 0xF0 && p[i + 1] < 0x90) && !(b == 0xF4 && p[i + 1] >= 0x90);
        if (ok) {
            ++multi;
            i += len;
        } else {
            ++invalid;
            ++i;
        }
    }
    if (declared.charset == Charset::Utf8) return invalid >= 8 && invalid * 4 > multi;
    return invalid == 0 && multi >= 8;
}

} // namespace

std::optional<PageCharset> charsetFromLabel(std::string_view label) {
    std::string l = lowerTrimmed(label);
    if (l.empty()) return std::nullopt;
    if (l == "utf-8" || l == "utf8" || l == "unicode-1-1-utf-8" || l == "x-unicode20utf8")
        return make(Charset::Utf8, "UTF-8");
    if (l == "gb2312" || l == "gbk" || l == "gb18030" || l == "x-gbk" || l == "chinese" ||
        l == "csgb2312" || l == "iso-ir-58" || l == "gb_2312-80" || l == "gb_2312" ||
        l == "cp936" || l == "windows-936" || l == "ms936" || l == "csiso58gb231280" ||
        l == "x-euc-cn" || l == "euc-cn")
        return make(Charset::Gb18030, "GB18030");
    if (l == "big5" || l == "big5-hkscs" || l == "cn-big5" || l == "csbig5" || l == "x-x-big5" ||
        l == "big-5" || l == "cp950")
        return make(Charset::Big5, "BIG5-HKSCS");
    if (l == "utf-16" || l == "utf-16le" || l == "utf-16be" || l == "unicode" || l == "ucs-2")
        return make(Charset::Utf8, "UTF-8"); // a declaration of UTF-16 in the page means UTF-8
    if (l == "iso-8859-1" || l == "latin1" || l == "us-ascii" || l == "ascii" ||
        l == "windows-1252" || l == "cp1252" || l == "l1" || l == "x-user-defined")
        return make(Charset::Other, "WINDOWS-1252");
    // Other single- and double-byte codes whose markup bytes stand alone.
    static const char* const others[][2] = {
        {"shift_jis", "SHIFT_JIS"},     {"shift-jis", "SHIFT_JIS"},
        {"sjis", "SHIFT_JIS"},          {"windows-31j", "CP932"},
        {"euc-jp", "EUC-JP"},           {"euc-kr", "EUC-KR"},
        {"ks_c_5601-1987", "CP949"},    {"windows-1251", "WINDOWS-1251"},
        {"koi8-r", "KOI8-R"},           {"iso-8859-2", "ISO-8859-2"},
        {"iso-8859-15", "ISO-8859-15"}, {"windows-1250", "WINDOWS-1250"},
        {"windows-874", "CP874"},       {"tis-620", "CP874"},
    };
    for (const auto& o : others)
        if (l == o[0]) return make(Charset::Other, o[1]);
    return std::nullopt;
}

std::string_view contentTypeCharset(std::string_view contentType) {
    return charsetParameter(contentType);
}

std::string_view metaCharset(std::string_view page) {
    std::string_view s = page.substr(0, kMetaScanBytes);
    size_t i = 0;
    while (i < s.size()) {
        size_t lt = s.find('<', i);
        if (lt == std::string_view::npos) break;
        if (s.compare(lt, 4, "<!--") == 0) {
            size_t e = s.find("-->", lt + 4);
            if (e == std::string_view::npos) break;
            i = e + 3;
            continue;
        }
        if (startsWithNoCase(s.substr(lt), "<meta") && lt + 5 < s.size() &&
            (blank(s[lt + 5]) || s[lt + 5] == '/')) {
            // The attributes of this tag, up to a '>' outside quotes.
            size_t k = lt + 5;
            char quote = 0;
            while (k < s.size() && (quote || s[k] != '>')) {
                if (quote && s[k] == quote)
                    quote = 0;
                else if (!quote && (s[k] == '"' || s[k] == '\''))
                    quote = s[k];
                ++k;
            }
            std::string_view tag = s.substr(lt + 5, k - lt - 5);
            // charset="x" directly, or content="text/html; charset=x".
            size_t c = findNoCase(tag, "charset");
            while (c != std::string_view::npos) {
                bool direct = c == 0 || blank(tag[c - 1]) || tag[c - 1] == '/';
                std::string_view value = charsetParameter(tag.substr(c));
                if (!value.empty() &&
                    (direct || findNoCase(tag, "content") != std::string_view::npos))
                    return value;
                c = findNoCase(tag, "charset", c + 7);
            }
            i = k;
            continue;
        }
        // Stop at the body's first text-bearing element: declarations live in the head.
        if (startsWithNoCase(s.substr(lt), "<body")) break;
        i = lt + 1;
    }
    return {};
}

PageCharset detectCharset(std::string_view page, std::string_view contentType) {
    struct Bom {
        std::string_view bytes;
        Charset charset;
        const char* iconvName;
    };
    static const Bom boms[] = {{"\xEF\xBB\xBF", Charset::Utf8, "UTF-8"},
                               {"\xFF\xFE", Charset::Utf16Le, "UTF-16LE"},
                               {"\xFE\xFF", Charset::Utf16Be, "UTF-16BE"}};
    PageCharset pc;
    for (const Bom& b : boms) {
        if (page.substr(0, b.bytes.size()) != b.bytes) continue;
        pc = make(b.charset, b.iconvName);
        pc.bomLength = b.bytes.size();
        pc.source = CharsetSource::Bom;
        return pc;
    }
    std::optional<PageCharset> declared = charsetFromLabel(contentTypeCharset(contentType));
    if (declared)
        declared->source = CharsetSource::Http;
    else if ((declared = charsetFromLabel(metaCharset(page))))
        declared->source = CharsetSource::Meta;
    if (declared && !contradicts(*declared, page)) return *declared;
    pc = cp::isValidUtf8(page) ? make(Charset::Utf8, "UTF-8") : make(Charset::Gb18030, "GB18030");
    pc.source = CharsetSource::Detected;
    return pc;
}

bool isHtml(std::string_view contentType, std::string_view fileName, std::string_view bytes) {
    std::string type = lowerTrimmed(contentType.substr(0, contentType.find(';')));
    if (type == "text/html" || type == "application/xhtml+xml") return true;
    std::string name = lowerTrimmed(fileName);
    auto endsWith = [&](std::string_view e) {
        return name.size() >= e.size() && name.compare(name.size() - e.size(), e.size(), e) == 0;
    };
    if (endsWith(".htm") || endsWith(".html")) return true;
    size_t i = 0;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) i = 3;
    while (i < bytes.size() && blank(bytes[i]))
        ++i;
    std::string_view rest = bytes.substr(i);
    // Pages often open with a comment or an XML declaration before the doctype.
    for (int skips = 0; skips < 8; ++skips) {
        if (rest.compare(0, 4, "<!--") == 0) {
            size_t e = rest.find("-->");
            if (e == std::string_view::npos) return false;
            rest.remove_prefix(e + 3);
        } else if (rest.compare(0, 5, "<?xml") == 0) {
            size_t e = rest.find("?>");
            if (e == std::string_view::npos) return false;
            rest.remove_prefix(e + 2);
        } else {
            break;
        }
        while (!rest.empty() && blank(rest.front()))
            rest.remove_prefix(1);
    }
    for (std::string_view start : {"<!doctype html", "<html", "<head", "<body"}) {
        if (startsWithNoCase(rest, start)) {
            if (start == "<!doctype html") return true;
            char after = rest.size() > start.size() ? rest[start.size()] : 0;
            if (after == '>' || blank(after) || after == '/') return true;
        }
    }
    return false;
}

} // namespace html
