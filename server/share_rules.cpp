#include "share_rules.h"

#include <algorithm>

#include "protocol/codepage.h"

namespace wycserver {

namespace {

bool isBlank(std::string_view word) {
    return std::all_of(word.begin(), word.end(), [](char c) { return c == ' ' || c == '\t'; });
}

std::size_t characters(std::string_view utf8) {
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

bool hasForbiddenCharacters(std::string_view word) {
    for (unsigned char c : word)
        if (c < 0x20 || c == 0x7f) return true;
    if (word.find("[@") != std::string_view::npos) return true;
    return !cp::fitsGbk(word);
}

} // namespace

std::optional<std::string> shareProblem(std::string_view ow, std::string_view nw) {
    if (isBlank(ow) || isBlank(nw)) return "原始词和新词都不能为空";
    if (characters(ow) > kMaxWordChars || characters(nw) > kMaxWordChars)
        return "每个词最多" + std::to_string(kMaxWordChars) + "个字";
    if (hasForbiddenCharacters(ow) || hasForbiddenCharacters(nw)) return "词中含有不允许的字符";
    if (ow == nw) return "原始词和新词相同";
    return std::nullopt;
}

} // namespace wycserver
