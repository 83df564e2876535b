#include "thesaurus/pair_file.h"

#include "protocol/codepage.h"

namespace pairfile {
namespace {

const std::string& yes() {
    static const std::string s = cp::G("是");
    return s;
}
const std::string& no() {
    static const std::string s = cp::G("否");
    return s;
}

bool isBlank(std::string_view s) {
    for (char c : s)
        if (c != ' ' && c != '\t') return false;
    return true;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool hasControl(std::string_view s) {
    for (char c : s) {
        auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) return true;
    }
    return false;
}

// The line as GBK; false with the reason set when it cannot be read.
bool toGbk(std::string_view line, Encoding encoding, std::string& out, std::string& reason) {
    if (encoding == Encoding::Utf8) {
        if (!cp::isValidUtf8(line)) {
            reason = "not valid UTF-8 text";
            return false;
        }
        out = cp::utf8ToGbk(line);
        return true;
    }
    out.assign(line);
    if (cp::utf8ToGbk(cp::gbkToUtf8(out)) != out) {
        reason = "not valid GBK text";
        return false;
    }
    return true;
}

} // namespace

bool isStorableWord(std::string_view word) {
    return !isBlank(word) && !hasControl(word);
}

std::string wordProblem(std::string_view word, const char* which) {
    if (word.empty()) return std::string("empty ") + which + " word";
    if (isBlank(word)) return std::string("blank ") + which + " word";
    if (hasControl(word)) return std::string("control character in the ") + which + " word";
    // A comma byte is never part of a GBK double-byte character.
    if (word.find(',') != std::string_view::npos)
        return std::string("comma in the ") + which + " word (it separates the fields)";
    return {};
}

std::string formatLine(std::string_view ow, std::string_view nw, std::string_view flag) {
    std::string line;
    line.reserve(ow.size() + nw.size() + flag.size() + 5);
    line.append(ow).append(",").append(nw).append(",").append(flag).append("\r\r\n");
    return line;
}

Parsed parse(std::string_view bytes, Encoding encoding) {
    if (encoding == Encoding::Utf8 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    Parsed result;
    int number = 0;
    std::string gbk;
    std::string reason;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        std::string_view line = bytes.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        start = end == std::string_view::npos ? bytes.size() : end + 1;
        ++number;
        // Every carriage return before the LF belongs to the line end.
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (isBlank(line)) continue;

        auto reject = [&](std::string why) {
            result.malformed.push_back({number, std::move(why)});
        };
        if (!toGbk(line, encoding, gbk, reason)) {
            reject(reason);
            continue;
        }
        // A comma byte is never part of a GBK double-byte character, so the
        // fields can be cut byte by byte.
        std::vector<std::string_view> fields;
        std::string_view rest = gbk;
        for (;;) {
            size_t comma = rest.find(',');
            fields.push_back(rest.substr(0, comma));
            if (comma == std::string_view::npos) break;
            rest.remove_prefix(comma + 1);
        }
        if (fields.size() < 2) {
            reject("no comma between the two words (the separator is the ASCII comma ',')");
            continue;
        }
        if (fields.size() > 3) {
            reject("more than three fields (a word cannot contain a comma)");
            continue;
        }
        if (auto p = wordProblem(fields[0], "original"); !p.empty()) {
            reject(p);
            continue;
        }
        if (auto p = wordProblem(fields[1], "new"); !p.empty()) {
            reject(p);
            continue;
        }
        bool isused = true;
        if (fields.size() == 3) {
            std::string_view flag = trimmed(fields[2]);
            if (flag == yes()) {
                isused = true;
            } else if (flag == no()) {
                isused = false;
            } else {
                reject("third field is neither 是 nor 否");
                continue;
            }
        }
        result.pairs.push_back({number, std::string(fields[0]), std::string(fields[1]), isused});
    }
    return result;
}

} // namespace pairfile
