#include "protocol.h"

#include <algorithm>
#include <utility>

#include "protocol/MD5.h"
#include "protocol/codepage.h"

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
    FormStream form;
    form.feed(body);
    return form.finish();
}

// Bytes are decoded as they come: an escape cut by the end of a piece waits
// for the next one, and one that turns out not to be an escape stands as it
// was sent. A name is kept whole until its "=" decides whether the value is
// wanted; names longer than any wanted one are not kept at all.
FormStream::FormStream(std::map<std::string, std::size_t, std::less<>> wanted)
    : m_wanted(std::move(wanted)) {}

void FormStream::put(char c) {
    m_pairHasBytes = true;
    if (!m_inValue) {
        if (m_wanted.empty() || m_name.size() < 256) m_name += c;
        return;
    }
    if (!m_keep) return;
    auto& value = m_fields.back().second;
    if (value.size() < m_limit) {
        value += c;
    } else {
        m_keep = false;
        if (!m_tooLarge) m_tooLarge = m_fields.back().first;
    }
}

void FormStream::endName() {
    m_inValue = true;
    m_keep = false;
    if (m_wanted.empty()) {
        m_keep = true;
        m_limit = std::string::npos;
    } else if (auto it = m_wanted.find(m_name); it != m_wanted.end()) {
        m_keep = std::none_of(m_fields.begin(), m_fields.end(),
                              [this](const auto& f) { return f.first == m_name; });
        m_limit = it->second;
    }
    if (m_keep) m_fields.emplace_back(std::move(m_name), std::string());
    m_name.clear();
}

void FormStream::endPair() {
    // An escape left open at the end of a value stands as it was sent.
    const std::string pending = std::exchange(m_escape, {});
    for (char c : pending)
        put(c);
    if (!m_inValue && m_pairHasBytes) endName(); // a name without "=" has an empty value
    m_inValue = false;
    m_keep = false;
    m_pairHasBytes = false;
    m_name.clear();
}

void FormStream::feed(std::string_view bytes) {
    for (char c : bytes) {
        if (!m_escape.empty()) {
            if (hexValue(c) >= 0) {
                if (m_escape.size() == 2) {
                    put(static_cast<char>(hexValue(m_escape[1]) * 16 + hexValue(c)));
                    m_escape.clear();
                } else {
                    m_escape += c;
                }
                continue;
            }
            const std::string pending = std::exchange(m_escape, {});
            for (char p : pending)
                put(p);
        }
        if (c == '&') {
            endPair();
        } else if (c == '=' && !m_inValue) {
            m_pairHasBytes = true;
            endName();
        } else if (c == '%') {
            m_escape.assign(1, '%');
        } else {
            put(c == '+' ? ' ' : c);
        }
    }
}

FormFields FormStream::finish() {
    endPair();
    return std::move(m_fields);
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
