#include "protocol.h"

#include <algorithm>

#include "engine/codepage.h"
#include "net/MD5.h"

namespace wycserver {

namespace {

constexpr std::string_view kLoginSalt = "pantile_morsund";

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

} // namespace

std::string_view rawQuery(std::string_view target) {
    const auto q = target.find('?');
    if (q == std::string_view::npos) return {};
    auto query = target.substr(q + 1);
    if (auto hash = query.find('#'); hash != std::string_view::npos) query = query.substr(0, hash);
    return query;
}

std::string percentDecode(std::string_view text, bool plusAsSpace) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%' && i + 2 < text.size()) {
            const int hi = hexValue(text[i + 1]), lo = hexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += (plusAsSpace && c == '+') ? ' ' : c;
    }
    return out;
}

std::string decodeRequestLineEscapes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int hi = hexValue(text[i + 1]), lo = hexValue(text[i + 2]);
            const int byte = hi * 16 + lo;
            if (hi >= 0 && lo >= 0 && (byte <= 0x20 || byte == 0x7f || byte == '#')) {
                out += static_cast<char>(byte);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

FormFields parseForm(std::string_view body) {
    FormFields fields;
    std::size_t at = 0;
    while (at <= body.size()) {
        std::size_t end = body.find('&', at);
        if (end == std::string_view::npos) end = body.size();
        const auto pair = body.substr(at, end - at);
        if (!pair.empty()) {
            const auto eq = pair.find('=');
            if (eq == std::string_view::npos)
                fields.emplace_back(percentDecode(pair, true), std::string());
            else
                fields.emplace_back(percentDecode(pair.substr(0, eq), true),
                                    percentDecode(pair.substr(eq + 1), true));
        }
        at = end + 1;
    }
    return fields;
}

std::optional<std::string> formValue(const FormFields& fields, std::string_view name) {
    for (const auto& [k, v] : fields)
        if (k == name) return v;
    return std::nullopt;
}

std::optional<LoginQuery> parseLoginQuery(std::string_view raw) {
    constexpr std::string_view kAccount = "qzvemail=", kPassword = "&qzvpassword=", kKey = "&key=";
    if (raw.substr(0, kAccount.size()) != kAccount) return std::nullopt;
    const auto p = raw.find(kPassword, kAccount.size());
    if (p == std::string_view::npos) return std::nullopt;
    const auto k = raw.rfind(kKey);
    if (k == std::string_view::npos || k < p + kPassword.size()) return std::nullopt;
    LoginQuery q;
    q.account = std::string(raw.substr(kAccount.size(), p - kAccount.size()));
    q.password = std::string(raw.substr(p + kPassword.size(), k - p - kPassword.size()));
    auto key = raw.substr(k + kKey.size());
    if (auto amp = key.find('&'); amp != std::string_view::npos) key = key.substr(0, amp);
    q.key = std::string(key);
    return q;
}

std::string loginKey(std::string_view account, std::string_view password) {
    std::string text(account);
    text += MD5Hex(password);
    text += kLoginSalt;
    return MD5Hex(text);
}

bool loginKeyMatches(const LoginQuery& q) {
    return equalsIgnoringCase(q.key, loginKey(q.account, q.password));
}

std::vector<std::string> utf8Readings(std::string_view bytes) {
    std::vector<std::string> out{cp::gbkToUtf8(bytes)};
    if (cp::isValidUtf8(bytes) && out.front() != bytes) out.emplace_back(bytes);
    return out;
}

std::string displayText(std::string_view bytes) {
    return cp::isValidUtf8(bytes) ? std::string(bytes) : cp::gbkToUtf8(bytes);
}

std::string htmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string shortenUtf8(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return std::string(text);
    std::size_t cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return std::string(text.substr(0, cut)) + "…";
}

std::string answerField(std::string_view text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        std::size_t len = 1;
        if (lead >= 0xF0)
            len = 4;
        else if (lead >= 0xE0)
            len = 3;
        else if (lead >= 0xC0)
            len = 2;
        len = std::min(len, text.size() - i);
        const std::string_view ch = text.substr(i, len);
        i += len;
        if (ch == "|") {
            out += "｜";
        } else if (len == 1 && (lead < 0x20 || lead == 0x7f)) {
            out += ' ';
        } else if (len > 1 && cp::utf8ToGbk(ch).find('|') != std::string::npos) {
            // The program splits answers as GBK bytes, where some characters end
            // in the byte of "|".
            out += '?';
        } else {
            out += ch;
        }
    }
    return out;
}

} // namespace wycserver
