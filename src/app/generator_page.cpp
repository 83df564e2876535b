// "生成" and "清空" of the download list: a numbered series of addresses from
// a pattern whose "(*)" marks where the number goes, appended to mmo2.
#include <charconv>
#include <cmath>
#include <optional>
#include <string>

#include "app/Unit1.h"
#include "engine/textutil.h"
#include "protocol/codepage.h"

using cp::G;

namespace {

constexpr std::string_view kWildcard = "(*)";
// One press adds at most this many lines: a range like 1 to 2,000,000,000
// would otherwise hold the window for minutes and fill memory.
constexpr double kMaxLines = 100000;
// Numbers beyond this are refused; their decimal forms stay exact.
constexpr double kMaxMagnitude = 1e15;

// The value of a number edit rounded to the nearest integer, or nothing when
// the text is not a number. Parsed without the locale, which Qt sets from the
// environment and which could expect a decimal comma.
std::optional<long long> roundedValue(const std::string& text) {
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return std::nullopt;
    const size_t end = text.find_last_not_of(" \t") + 1;
    const char* first = text.data() + begin;
    const char* last = text.data() + end;
    if (*first == '+' && last - first > 1 && first[1] != '-') ++first;
    double value = 0;
    auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::fixed);
    if (ec != std::errc() || ptr != last || !std::isfinite(value) ||
        std::fabs(value) > kMaxMagnitude)
        return std::nullopt;
    return std::llround(value);
}

// n in decimal, with zeros in front up to `width` characters; a minus sign
// stays in front of the zeros.
std::string numberText(long long n, size_t width) {
    std::string digits = std::to_string(n < 0 ? -n : n);
    const size_t sign = n < 0 ? 1 : 0;
    if (sign + digits.size() < width) digits.insert(0, width - sign - digits.size(), '0');
    return sign ? "-" + digits : digits;
}

} // namespace

void TForm1::btn12Click() {
    // Everything is checked before the list is touched: a refused press
    // leaves the list as it was and says why, and only addresses go in.
    const std::string pattern = edt5.text();
    if (pattern.find(kWildcard) == std::string::npos) {
        lbl19.setCaption(G("【提示信息】批量生成地址不含有通配符(*)，列表未改动。"));
        return;
    }
    const auto first = roundedValue(edt6.text());
    const auto last = roundedValue(edt7.text());
    if (!first || !last) {
        lbl19.setCaption(G("【提示信息】ID从、至须填写整数，列表未改动。"));
        return;
    }
    const long long from = *first;
    const long long to = *last;
    if (to < from) {
        lbl19.setCaption(G("【提示信息】ID从大于至，列表未改动。"));
        return;
    }
    if (static_cast<double>(to) - static_cast<double>(from) + 1 > kMaxLines) {
        lbl19.setCaption(G("【提示信息】一次最多生成100000个地址，请缩小ID范围，列表未改动。"));
        return;
    }

    StringList lines = bschck9.checked() ? StringList{} : mmo2.lines();
    const size_t width = bschck8.checked() ? std::to_string(to).size() : 0;
    lines.reserve(lines.size() + static_cast<size_t>(to - from + 1));
    for (long long n = from; n <= to; ++n)
        lines.push_back(ReplaceAll(pattern, kWildcard, numberText(n, width)));
    mmo2.setLines(lines);
}

void TForm1::btn14Click() {
    mmo2.clear();
}
