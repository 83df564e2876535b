#include "service/json_fields.h"

#include <cstdint>

#include "protocol/codepage.h"

namespace service {

namespace {

class JsonReader {
  public:
    explicit JsonReader(std::string_view s) : m_s(s) {}

    bool object(Fields& out) {
        if (!take('{')) return false;
        if (take('}')) return atEnd();
        do {
            std::string name;
            if (!peek('"') || !string(name) || !take(':')) return false;
            if (take('[')) {
                if (take(']')) continue;
                do {
                    if (!scalar(name, out)) return false;
                } while (take(','));
                if (!take(']')) return false;
            } else if (!scalar(name, out)) {
                return false;
            }
        } while (take(','));
        return take('}') && atEnd();
    }

  private:
    void skipBlanks() {
        while (m_i < m_s.size() &&
               (m_s[m_i] == ' ' || m_s[m_i] == '\t' || m_s[m_i] == '\n' || m_s[m_i] == '\r'))
            ++m_i;
    }
    bool peek(char c) {
        skipBlanks();
        return m_i < m_s.size() && m_s[m_i] == c;
    }
    bool take(char c) {
        if (!peek(c)) return false;
        ++m_i;
        return true;
    }
    bool atEnd() {
        skipBlanks();
        return m_i == m_s.size();
    }
    bool word(std::string_view w) {
        if (m_s.substr(m_i, w.size()) != w) return false;
        m_i += w.size();
        return true;
    }

    // A string, null, true, false or a number, as the field `name`.
    bool scalar(const std::string& name, Fields& out) {
        skipBlanks();
        if (m_i >= m_s.size()) return false;
        const char c = m_s[m_i];
        if (c == '"') {
            Field f{name, {}, true};
            if (!string(f.value)) return false;
            out.push_back(std::move(f));
            return true;
        }
        if (c == 'n') return word("null");
        for (std::string_view w : {"true", "false"})
            if (word(w)) return out.push_back({name, std::string(w), true}), true;
        const size_t start = m_i;
        if (!number()) return false;
        out.push_back({name, std::string(m_s.substr(start, m_i - start)), true});
        return true;
    }

    bool digits() {
        const size_t start = m_i;
        while (m_i < m_s.size() && m_s[m_i] >= '0' && m_s[m_i] <= '9')
            ++m_i;
        return m_i > start;
    }
    bool number() {
        if (m_i < m_s.size() && m_s[m_i] == '-') ++m_i;
        if (!digits()) return false;
        if (m_i < m_s.size() && m_s[m_i] == '.' && (++m_i, !digits())) return false;
        if (m_i < m_s.size() && (m_s[m_i] == 'e' || m_s[m_i] == 'E')) {
            ++m_i;
            if (m_i < m_s.size() && (m_s[m_i] == '+' || m_s[m_i] == '-')) ++m_i;
            if (!digits()) return false;
        }
        return true;
    }

    bool hex4(std::uint32_t& unit) {
        if (m_i + 4 > m_s.size()) return false;
        unit = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = m_s[m_i++];
            const int d = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
            if (d < 0) return false;
            unit = unit * 16 + static_cast<std::uint32_t>(d);
        }
        return true;
    }
    static void appendUtf8(std::string& out, std::uint32_t cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    // \uXXXX, a surrogate pair as one character; a lone surrogate is U+FFFD.
    bool unicodeEscape(std::string& out) {
        std::uint32_t unit = 0;
        if (!hex4(unit)) return false;
        if (unit >= 0xD800 && unit <= 0xDBFF && m_s.substr(m_i, 2) == "\\u") {
            const size_t back = m_i;
            m_i += 2;
            std::uint32_t low = 0;
            if (!hex4(low)) return false;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                return true;
            }
            m_i = back;
        }
        appendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit);
        return true;
    }
    bool string(std::string& out) {
        ++m_i; // the opening quote
        for (;;) {
            const size_t run = m_s.find_first_of("\"\\", m_i);
            if (run == std::string_view::npos) return false;
            out.append(m_s.substr(m_i, run - m_i));
            m_i = run + 1;
            if (m_s[run] == '"') return true;
            if (m_i >= m_s.size()) return false;
            const char e = m_s[m_i++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out += e;
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u':
                if (!unicodeEscape(out)) return false;
                break;
            default:
                return false;
            }
        }
    }

    std::string_view m_s;
    size_t m_i = 0;
};

} // namespace

std::optional<RequestError> appendJsonFields(std::string_view json, Fields& out) {
    if (!cp::isValidUtf8(json)) return RequestError{ApiError::BadBody, "JSON (UTF-8)"};
    Fields fields;
    if (!JsonReader(json).object(fields)) return RequestError{ApiError::BadBody, "JSON"};
    for (Field& f : fields)
        out.push_back(std::move(f));
    return std::nullopt;
}

} // namespace service
