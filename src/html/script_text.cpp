#include "html/script_text.h"

#include "html/text_stats.h"
#include "protocol/codepage.h"

namespace html {
namespace {

void appendCodePoint(std::string& out, std::uint32_t c, bool utf8) {
    std::string u;
    appendUtf8(u, c);
    out += utf8 ? u : cp::utf8ToGbk(u);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') return (c | 0x20) - 'a' + 10;
    return -1;
}

// Reads the quoted string that starts at s[i]; returns where it ends.
size_t readString(std::string_view s, size_t i, bool utf8, std::string& out) {
    char quote = s[i++];
    out.clear();
    while (i < s.size()) {
        auto b = static_cast<unsigned char>(s[i]);
        if (!utf8 && b >= 0x81) {
            // A GB character: its second byte may be a backslash.
            size_t len =
                cp::charLength(reinterpret_cast<const unsigned char*>(s.data()), i, s.size());
            out.append(s.substr(i, len));
            i += len;
            continue;
        }
        if (b == static_cast<unsigned char>(quote)) return i + 1;
        if (b == '\n') return i; // strings do not span lines
        if (b != '\\' || i + 1 >= s.size()) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        char e = s[i + 1];
        i += 2;
        switch (e) {
        case 'n':
            out += '\n';
            break;
        case 'r':
            break;
        case 't':
            out += ' ';
            break;
        case 'u': {
            std::uint32_t c = 0;
            int k = 0;
            for (; k < 4 && i + k < s.size() && hexValue(s[i + k]) >= 0; ++k)
                c = c * 16 + static_cast<std::uint32_t>(hexValue(s[i + k]));
            i += static_cast<size_t>(k);
            if (c >= 0xD800 && c <= 0xDBFF && i + 5 < s.size() && s[i] == '\\' && s[i + 1] == 'u') {
                std::uint32_t lo = 0;
                for (int j = 0; j < 4; ++j)
                    lo = lo * 16 + static_cast<std::uint32_t>(std::max(0, hexValue(s[i + 2 + j])));
                if (lo >= 0xDC00 && lo <= 0xDFFF) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
                    i += 6;
                }
            }
            appendCodePoint(out, c, utf8);
            break;
        }
        default:
            out += e;
            break; // \" \\ \/ and the rest: the character itself
        }
    }
    return i;
}

// Plain text with line breaks: one paragraph a line.
std::string asMarkup(const std::string& text) {
    if (text.find('<') != std::string::npos) return text;
    std::string out;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string::npos) nl = text.size();
        out += "<p>" + text.substr(start, nl - start) + "</p>";
        start = nl + 1;
    }
    return out;
}

} // namespace

std::string articleInScripts(const Document& doc, bool utf8, size_t minWords) {
    std::string best, candidate;
    size_t bestWords = minWords > 0 ? minWords - 1 : 0;
    auto consider = [&](const std::string& s) {
        if (s.size() < bestWords) return; // fewer bytes than the best has words
        CharCounts c;
        countChars(s, utf8, c);
        if (c.words > bestWords && c.punct + c.ends > 0) {
            bestWords = c.words;
            best = s;
        }
    };
    for (size_t k = 1; k < doc.nodes.size(); ++k) {
        const Node& n = doc.nodes[k];
        if (!n.isText() || !(n.flags & kRaw) || doc.nodes[n.parent].tag != Tag::Script) continue;
        std::string_view s = doc.text(n);
        // A template of markup, kept whole in the script.
        size_t first = s.find_first_not_of(" \t\r\n");
        if (first != std::string_view::npos && s[first] == '<') consider(std::string(s));
        for (size_t i = 0; i < s.size();) {
            auto b = static_cast<unsigned char>(s[i]);
            if (b == '"' || b == '\'') {
                i = readString(s, i, utf8, candidate);
                consider(candidate);
            } else {
                i += (!utf8 && b >= 0x81)
                         ? cp::charLength(reinterpret_cast<const unsigned char*>(s.data()), i,
                                          s.size())
                         : 1;
            }
        }
    }
    return best.empty() ? best : asMarkup(best);
}

} // namespace html
