#include "html/text_stats.h"

#include <cstring>

#include "html/text_scan.h"
#include "protocol/codepage.h"

namespace html {
namespace {

struct Ch {
    std::uint32_t code;
    std::uint32_t len;
};

CharKind kindOfCodePoint(std::uint32_t c) {
    if (c < 0x80) {
        if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') return CharKind::Word;
        if (c >= '0' && c <= '9') return CharKind::Word;
        if (isBlank(static_cast<unsigned char>(c))) return CharKind::Blank;
        if (c == ',' || c == ';' || c == ':') return CharKind::Punct;
        if (c == '.' || c == '!' || c == '?') return CharKind::End;
        return CharKind::Other;
    }
    if (c == 0xA0 || c == 0x3000 || (c >= 0x2000 && c <= 0x200B)) return CharKind::Blank;
    if ((c >= 0x3400 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || c >= 0x20000)
        return CharKind::Word;
    if ((c >= 0xFF10 && c <= 0xFF19) || (c >= 0xFF21 && c <= 0xFF3A) ||
        (c >= 0xFF41 && c <= 0xFF5A))
        return CharKind::Word;
    if (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7) return CharKind::Word;
    if (c == 0xFF0C || c == 0x3001 || c == 0xFF1B || c == 0xFF1A) return CharKind::Punct;
    if (c == 0x3002 || c == 0xFF01 || c == 0xFF1F || c == 0x2026) return CharKind::End;
    return CharKind::Other;
}

CharKind kindOfGb(std::uint32_t code, std::uint32_t len) {
    if (len == 1) return code < 0x80 ? kindOfCodePoint(code) : CharKind::Other;
    if (len == 4) return CharKind::Word;
    unsigned lead = code >> 8, trail = code & 0xFF;
    switch (code) {
    case 0xA1A1:
        return CharKind::Blank;
    case 0xA1A2:
    case 0xA3AC:
    case 0xA3BB:
    case 0xA3BA:
        return CharKind::Punct;
    case 0xA1A3:
    case 0xA3A1:
    case 0xA3BF:
    case 0xA1AD:
        return CharKind::End;
    default:
        break;
    }
    if (lead == 0xA3) {
        if ((trail >= 0xB0 && trail <= 0xB9) || (trail >= 0xC1 && trail <= 0xDA) ||
            (trail >= 0xE1 && trail <= 0xFA))
            return CharKind::Word;
        return CharKind::Other;
    }
    if (lead >= 0xA1 && lead <= 0xA9) return CharKind::Other;
    return CharKind::Word;
}

Ch nextUtf8(std::string_view s, size_t i) {
    auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) return {b, 1};
    std::uint32_t len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    if (len == 1 || i + len > s.size()) return {0xFFFD, 1};
    std::uint32_t c = b & (0xFF >> (len + 1));
    for (std::uint32_t k = 1; k < len; ++k) {
        auto t = static_cast<unsigned char>(s[i + k]);
        if ((t & 0xC0) != 0x80) return {0xFFFD, 1};
        c = (c << 6) | (t & 0x3F);
    }
    return {c, len};
}

Ch nextGb(std::string_view s, size_t i) {
    auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x81 || b == 0xFF || i + 1 >= s.size()) return {b, 1};
    auto t = static_cast<unsigned char>(s[i + 1]);
    if (t >= 0x30 && t <= 0x39 && i + 3 < s.size()) {
        std::uint32_t c;
        std::memcpy(&c, s.data() + i, 4);
        return {c | 0x80000000u, 4};
    }
    return {static_cast<std::uint32_t>(b << 8 | t), 2};
}

struct Named {
    const char* name;
    std::uint32_t code;
};
constexpr Named kNamed[] = {
    {"nbsp", 0xA0},     {"amp", '&'},      {"lt", '<'},       {"gt", '>'},       {"quot", '"'},
    {"apos", '\''},     {"copy", 0xA9},    {"reg", 0xAE},     {"trade", 0x2122}, {"middot", 0xB7},
    {"hellip", 0x2026}, {"mdash", 0x2014}, {"ndash", 0x2013}, {"ldquo", 0x201C}, {"rdquo", 0x201D},
    {"lsquo", 0x2018},  {"rsquo", 0x2019}, {"laquo", 0xAB},   {"raquo", 0xBB},   {"times", 0xD7},
    {"divide", 0xF7},   {"deg", 0xB0},     {"yen", 0xA5},     {"emsp", 0x2003},  {"ensp", 0x2002},
    {"thinsp", 0x2009}, {"bull", 0x2022},  {"sect", 0xA7},    {"plusmn", 0xB1},  {"rarr", 0x2192},
    {"larr", 0x2190},   {"zwj", 0x200D},   {"zwnj", 0x200C},  {"shy", 0xAD},     {"euro", 0x20AC},
    {"para", 0xB6},
};

// The code point a reference stands for, or 0 when it is not one we know.
std::uint32_t referenceCode(std::string_view ref) {
    std::string_view body = ref.substr(1);
    if (!body.empty() && body.back() == ';') body.remove_suffix(1);
    if (!body.empty() && body[0] == '#') {
        bool hex = body.size() > 1 && (body[1] == 'x' || body[1] == 'X');
        std::uint32_t v = 0;
        for (char c : body.substr(hex ? 2 : 1)) {
            unsigned d = (c >= '0' && c <= '9') ? c - '0' : ((c | 0x20) - 'a' + 10);
            v = v * (hex ? 16 : 10) + d;
            if (v > 0x10FFFF) return 0xFFFD;
        }
        if (v == 0 || (v >= 0xD800 && v <= 0xDFFF)) return 0xFFFD;
        return v;
    }
    for (const Named& n : kNamed)
        if (body == n.name) return n.code;
    return 0;
}

template <typename Visit> void forEachChar(std::string_view raw, bool utf8, Visit visit) {
    size_t i = 0;
    while (i < raw.size()) {
        if (raw[i] == '&') {
            size_t len = referenceLength(raw, i);
            if (len > 0) {
                std::uint32_t code = referenceCode(raw.substr(i, len));
                if (code) {
                    visit(raw.substr(i, len), code, kindOfCodePoint(code), true);
                    i += len;
                    continue;
                }
            }
        }
        Ch ch = utf8 ? nextUtf8(raw, i) : nextGb(raw, i);
        CharKind kind = utf8 ? kindOfCodePoint(ch.code) : kindOfGb(ch.code, ch.len);
        visit(raw.substr(i, ch.len), ch.code, kind, false);
        i += ch.len;
    }
}

} // namespace

void appendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void appendSlow(std::string& out, std::string_view raw, bool utf8, bool keepLines);

void countChars(std::string_view raw, bool utf8, CharCounts& counts) {
    // The common cases inline: ASCII, then three-byte UTF-8 and two-byte GB
    // characters; references and the rest through the general reader.
    const auto* p = reinterpret_cast<const unsigned char*>(raw.data());
    size_t i = 0, n = raw.size();
    auto add = [&counts](CharKind kind) {
        if (kind == CharKind::Word)
            ++counts.words;
        else if (kind == CharKind::Punct)
            ++counts.punct;
        else if (kind == CharKind::End)
            ++counts.ends;
    };
    while (i < n) {
        unsigned char b = p[i];
        if (b == '&') {
            size_t len = referenceLength(raw, i);
            if (len > 0) {
                if (std::uint32_t code = referenceCode(raw.substr(i, len))) {
                    add(kindOfCodePoint(code));
                    i += len;
                    continue;
                }
            }
        }
        if (b < 0x80) {
            add(kindOfCodePoint(b));
            ++i;
            continue;
        }
        if (utf8 && (b & 0xF0) == 0xE0 && i + 2 < n && (p[i + 1] & 0xC0) == 0x80 &&
            (p[i + 2] & 0xC0) == 0x80) {
            std::uint32_t c = ((b & 0x0F) << 12) | ((p[i + 1] & 0x3F) << 6) | (p[i + 2] & 0x3F);
            add(c >= 0x4E00 && c <= 0x9FFF ? CharKind::Word : kindOfCodePoint(c));
            i += 3;
            continue;
        }
        if (!utf8 && b >= 0xB0 && b <= 0xF7 && i + 1 < n && p[i + 1] >= 0xA1 && p[i + 1] != 0xFF) {
            ++counts.words; // a character of GB2312's two levels
            i += 2;
            continue;
        }
        Ch ch = utf8 ? nextUtf8(raw, i) : nextGb(raw, i);
        add(utf8 ? kindOfCodePoint(ch.code) : kindOfGb(ch.code, ch.len));
        i += ch.len;
    }
}

void appendText(std::string& out, std::string_view raw, bool utf8, bool keepLines) {
    // Runs of plain characters are copied whole; blanks, references and the
    // few characters that are blanks or nothing go through the reader below.
    size_t i = 0;
    while (i < raw.size()) {
        size_t start = i;
        while (i < raw.size()) {
            auto b = static_cast<unsigned char>(raw[i]);
            if (b == '&' || isBlank(b) || b == 0xC2 || b == 0xE2 || b == 0xE3) break;
            if (b < 0x80) {
                ++i;
            } else if (!utf8) {
                if (b == 0xFF || b == 0x80) break;
                size_t len = cp::charLength(reinterpret_cast<const unsigned char*>(raw.data()), i,
                                            raw.size());
                i += len;
            } else {
                size_t len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
                if (b < 0xC0 || i + len > raw.size()) break;
                i += len;
            }
        }
        if (i > start) out.append(raw.substr(start, i - start));
        if (i >= raw.size()) break;
        // One character through the general reader.
        size_t len = 1;
        if (raw[i] == '&') {
            size_t r = referenceLength(raw, i);
            len = r > 0 ? r : 1;
        } else if (utf8) {
            len = nextUtf8(raw, i).len;
        } else {
            len = nextGb(raw, i).len;
        }
        appendSlow(out, raw.substr(i, len), utf8, keepLines);
        i += len;
    }
}

void appendSlow(std::string& out, std::string_view raw, bool utf8, bool keepLines) {
    forEachChar(raw, utf8,
                [&](std::string_view bytes, std::uint32_t code, CharKind kind, bool ref) {
                    if (kind == CharKind::Blank &&
                        (code < 0x80 || code == 0xA0 || (code >= 0x2000 && code <= 0x200B))) {
                        if (keepLines && code == '\n') {
                            while (!out.empty() && out.back() == ' ')
                                out.pop_back();
                            out += '\n';
                        } else if (!out.empty() && out.back() != ' ' && out.back() != '\n') {
                            out += ' ';
                        }
                        return;
                    }
                    if (code == 0x200C || code == 0x200D || code == 0xAD) return;
                    if (!ref) {
                        out.append(bytes);
                        return;
                    }
                    std::string u;
                    appendUtf8(u, code);
                    out += utf8 ? u : cp::utf8ToGbk(u);
                });
}

std::string trimText(std::string_view text, bool utf8) {
    // Leading and trailing blanks, ideographic spaces among them.
    size_t i = 0, first = std::string_view::npos, last = 0;
    while (i < text.size()) {
        Ch ch = utf8 ? nextUtf8(text, i) : nextGb(text, i);
        bool blank = ch.len == 1
                         ? isBlank(static_cast<unsigned char>(ch.code))
                         : (utf8 ? ch.code == 0x3000 || ch.code == 0xA0 : ch.code == 0xA1A1);
        if (!blank) {
            if (first == std::string_view::npos) first = i;
            last = i + ch.len;
        }
        i += ch.len;
    }
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, last - first));
}

std::vector<std::uint32_t> wordChars(std::string_view text, bool utf8) {
    std::vector<std::uint32_t> out;
    forEachChar(text, utf8, [&](std::string_view, std::uint32_t code, CharKind kind, bool) {
        if (kind != CharKind::Word) return;
        if (code < 0x80 && code >= 'A' && code <= 'Z') code += 32;
        out.push_back(code);
    });
    return out;
}

} // namespace html
