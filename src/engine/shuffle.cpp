#include "engine/shuffle.h"

#include <set>
#include <stdexcept>
#include <utility>

#include "engine/codepage.h"
#include "engine/regex16.h"
#include "engine/textutil.h"

namespace engine {

const std::string& DelimiterPattern() {
    static const std::string pattern = cp::G(",|，|:|\\.|。|!|！|；|;");
    return pattern;
}

std::uint64_t drawBelow(std::mt19937_64& random, std::uint64_t bound) {
    // Values below `threshold` would make the low residues more likely.
    const std::uint64_t threshold = (0 - bound) % bound;
    for (;;) {
        const std::uint64_t x = random();
        if (x >= threshold) return x % bound;
    }
}

StringList ExprTest(const std::string& pattern, const std::string& text, StringList& matchList) {
    const Regex16 regex(cp::gbkToUtf16(pattern), true);
    matchList.clear();
    regex.forEachMatch(cp::gbkToUtf16(text), [&matchList](std::u16string_view match) {
        matchList.push_back(cp::utf16ToGbk(match));
    });
    std::string working = text;
    // Every occurrence of a matched text is replaced the first time it is met,
    // so a later match of the same text finds nothing left to replace, unless
    // the text shares bytes with the marker and the marker itself rebuilt it.
    std::set<std::string> done;
    for (const std::string& match : matchList) {
        const bool markerSafe = match.find_first_of("[@]") == std::string::npos;
        if (markerSafe && !done.insert(match).second) continue;
        textutil::replaceInPlace(working, match, kMarker);
    }
    return linesOf(working);
}

namespace {

void trimControls(std::string& f) {
    size_t b = 0, e = f.size();
    while (b < e && static_cast<unsigned char>(f[b]) <= 0x20)
        ++b;
    while (e > b && static_cast<unsigned char>(f[e - 1]) <= 0x20)
        --e;
    if (b > 0 || e < f.size()) f = f.substr(b, e - b);
}

} // namespace

std::string daluan(const std::string& text, const ShuffleOptions& options, std::mt19937_64& random,
                   StringList& matchList) {
    if (options.frequency < 1) throw std::invalid_argument("keyword frequency must be at least 1");
    const StringList lines = ExprTest(DelimiterPattern(), text, matchList);
    const size_t m = matchList.size();
    StringList fragments = SplitString(textOf(lines), kMarker);
    const size_t n = fragments.size();

    // Each entry is swapped with one drawn from all but the last place, so the
    // last fragment only moves in the final pass.
    for (size_t i = 0; i < n; ++i) {
        const size_t j = n >= 2 ? static_cast<size_t>(drawBelow(random, n - 1)) : 0;
        if (i != j) std::swap(fragments[i], fragments[j]);
    }

    static const std::string ideographicSpace = cp::G("　");
    static const std::string fullStop = cp::G("。");
    const size_t k =
        options.keyword.empty() || n == 0 ? 0 : (n - 1) / static_cast<size_t>(options.frequency);
    std::string result;
    result.reserve(text.size() + text.size() / 8 + 16);
    for (size_t i = 0; i < n; ++i) {
        std::string& f = fragments[i];
        if (options.stripSpaces) {
            textutil::replaceInPlace(f, " ", "");
            textutil::replaceInPlace(f, ideographicSpace, "");
            textutil::replaceInPlace(f, "\t", "");
        }
        if (options.stripBreaks) {
            trimControls(f);
            textutil::replaceInPlace(f, "\r", "");
            textutil::replaceInPlace(f, "\n", "");
        }
        if (!options.keyword.empty()) {
            const std::uint64_t r = k > 0 ? drawBelow(random, k) : 0;
            if (r == 0) f += options.keyword;
        }
        if (i < m) f += matchList[m - 1 - i];
        result += f;
    }
    if (!result.empty()) result += fullStop;
    return result;
}

} // namespace engine
