#include "service/rewrite_request.h"

#include <charconv>
#include <string_view>

#include "protocol/codepage.h"

namespace service {

namespace {

// One field's value as the rules read it.
class Value {
  public:
    Value(const Field& field, bool gbk) : m_field(field), m_gbk(gbk) {}
    const std::string& raw() const { return m_field.value; }
    // The value as program text: GBK as sent under charset=gbk, else UTF-8
    // converted (bytes that are not valid UTF-8 are taken as GBK).
    std::string text() const {
        const std::string& v = m_field.value;
        if (m_field.utf8) return cp::utf8ToGbk(v);
        if (m_gbk || !cp::isValidUtf8(v)) return v;
        return cp::utf8ToGbk(v);
    }

  private:
    const Field& m_field;
    bool m_gbk;
};

bool readFlag(const Value& v, bool& out) {
    const std::string s = asciiLower(v.raw());
    if (s == "1" || s == "true" || s == "on" || s == "yes") return out = true, true;
    if (s == "0" || s == "false" || s == "off" || s == "no") return out = false, true;
    return false;
}

template <class T> bool readNumber(const std::string& s, T& out) {
    const char* end = s.data() + s.size();
    const auto [stop, ec] = std::from_chars(s.data(), end, out);
    return ec == std::errc() && stop == end;
}

// A protected-word value may hold several words, one a line (a word never
// holds a line break), so a form with one field per name can list them.
void addWords(const std::string& text, StringList& words) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        if (end > start) words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

struct Rule {
    std::string_view name;
    bool (*apply)(RewriteRequest& r, const Value& v); // false: the value is unusable
};

// The fields of a request, named as the options of `wyc-cli rewrite`.
const Rule kRules[] = {
    {"content", [](RewriteRequest& r, const Value& v) { return r.content = v.text(), true; }},
    {"synonyms",
     [](RewriteRequest& r, const Value& v) { return readFlag(v, r.settings.synonyms); }},
    {"shuffle", [](RewriteRequest& r, const Value& v) { return readFlag(v, r.settings.shuffle); }},
    {"strip_spaces",
     [](RewriteRequest& r, const Value& v) {
         return readFlag(v, r.settings.shuffleSettings.stripSpaces);
     }},
    {"strip_breaks",
     [](RewriteRequest& r, const Value& v) {
         return readFlag(v, r.settings.shuffleSettings.stripBreaks);
     }},
    {"keyword", [](RewriteRequest& r,
                   const Value& v) { return r.settings.shuffleSettings.keyword = v.text(), true; }},
    {"frequency",
     [](RewriteRequest& r, const Value& v) {
         int n = 0;
         if (!readNumber(v.raw(), n) || n < 2 || n > 30) return false;
         return r.settings.shuffleSettings.frequency = n, true;
     }},
    {"seed",
     [](RewriteRequest& r, const Value& v) {
         std::uint64_t seed = 0;
         if (!readNumber(v.raw(), seed)) return false;
         return r.seed = seed, true;
     }},
    {"protect",
     [](RewriteRequest& r, const Value& v) { return addWords(v.text(), r.protectedWords), true; }},
    {"format",
     [](RewriteRequest& r, const Value& v) {
         const std::string f = asciiLower(v.raw());
         if (f != "text" && f != "json") return false;
         return r.textAnswer = f == "text", true;
     }},
    {"marks", [](RewriteRequest& r, const Value& v) { return readFlag(v, r.marks); }},
    {"html", [](RewriteRequest& r,
                const Value& v) { return html::modeFromName(asciiLower(v.raw()), r.html); }},
    {"token", [](RewriteRequest& r, const Value& v) { return r.token = v.raw(), true; }},
};

} // namespace

std::string asciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool isGbkCharset(const std::string& name) {
    const std::string n = asciiLower(name);
    return n == "gbk" || n == "gb2312" || n == "gb18030" || n == "cp936";
}

std::optional<RequestError> readRequest(const Fields& fields, const RewriteDefaults& defaults,
                                        bool gbkByDefault, RewriteRequest& out) {
    out = {};
    out.settings = defaults.settings;
    out.seed = defaults.seed;
    out.protectedWords = defaults.protectedWords;
    out.html = defaults.html;
    out.gbk = gbkByDefault;
    // The charset decides how every other field reads, wherever it stands.
    for (const Field& f : fields) {
        if (f.name != "charset") continue;
        const std::string c = asciiLower(f.value);
        if (isGbkCharset(c))
            out.gbk = true;
        else if (c == "utf-8" || c == "utf8")
            out.gbk = false;
        else
            return RequestError{ApiError::BadField, "charset"};
    }
    for (const Field& f : fields) {
        for (const Rule& rule : kRules) {
            if (rule.name != f.name) continue;
            if (!rule.apply(out, Value(f, out.gbk)))
                return RequestError{ApiError::BadField, f.name};
            break;
        }
    }
    if (!out.content) return RequestError{ApiError::MissingContent, {}};
    return std::nullopt;
}

} // namespace service
