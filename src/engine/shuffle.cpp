#include "engine/shuffle.h"

#include <algorithm>
#include <bitset>
#include <set>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/regex16.h"
#include "engine/textutil.h"
#include "protocol/codepage.h"

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

namespace {

using cp::isGbkLead;

// ExprTest without the cutting into lines: the text with every match of
// `pattern` replaced by the marker; the matched texts go to `matchList`.
// Matches of one character inside the stretches `keep` (protected words) are
// left as they are and out of `matchList`.
std::string markMatches(const std::string& pattern, const std::string& text, MatchTexts& matchList,
                        const std::vector<TextSpan>& keep = {}) {
    const Regex16 regex(cp::gbkToUtf16(pattern), true);
    matchList.clear();
    // The same few delimiters recur all through an article; each distinct
    // matched text is converted back once.
    std::unordered_map<std::u16string, std::uint32_t> converted;
    regex.forEachMatch(cp::gbkToUtf16(text), [&](std::u16string_view match) {
        auto it = converted.find(std::u16string(match));
        if (it == converted.end())
            it = converted.emplace(match, matchList.intern(cp::utf16ToGbk(match))).first;
        matchList.append(it->second);
    });
    // One character that is neither a lead byte cut off at the end nor made
    // of marker bytes: such matches never overlap each other and the marker
    // never rebuilds them, so all of them are replaced in one walk.
    std::bitset<65536> single;
    bool oneWalk = true;
    for (const std::string& gbk : matchList.distinct()) {
        const auto* b = reinterpret_cast<const unsigned char*>(gbk.data());
        if (gbk.find_first_of("[@]") != std::string::npos)
            oneWalk = false;
        else if (gbk.size() == 1 && !isGbkLead(b[0]))
            single.set(b[0]);
        else if (gbk.size() == 2 && isGbkLead(b[0]))
            single.set(0x100u * b[0] + b[1]);
        else
            oneWalk = false;
    }
    if (oneWalk) {
        std::string working;
        working.reserve(text.size() + matchList.size() + 16);
        const auto* t = reinterpret_cast<const unsigned char*>(text.data());
        const size_t n = text.size();
        size_t copied = 0;
        size_t k = 0;        // the first kept stretch not yet behind
        bool kept = false;   // a match was left in a kept stretch
        MatchTexts replaced; // the matches replaced
        for (size_t i = 0; i < n;) {
            const bool two = isGbkLead(t[i]) && i + 1 < n;
            const size_t code = two ? 0x100u * t[i] + t[i + 1] : t[i];
            const size_t len = two ? 2 : 1;
            if ((two || !isGbkLead(t[i])) && single[code]) {
                while (k < keep.size() && keep[k].end <= i)
                    ++k;
                if (k < keep.size() && keep[k].begin <= i) {
                    kept = true;
                } else {
                    working.append(text, copied, i - copied);
                    working += kMarker;
                    copied = i + len;
                    replaced.push_back(text.substr(i, len));
                }
            }
            i += len;
        }
        working.append(text, copied, n - copied);
        // The list holds what was cut, one entry a marker: a match left in a
        // kept stretch, or one the UTF-16 form found where the bytes hold no
        // character (a lead byte before a delimiter, "\xCE;"), is no entry,
        // else the reassembly would put in a delimiter the text never had.
        if (kept || replaced.size() != matchList.size()) matchList.swap(replaced);
        return working;
    }
    std::string working = text;
    // Every occurrence of a matched text is replaced the first time it is met,
    // so a later match of the same text finds nothing left to replace, unless
    // the text shares bytes with the marker and the marker itself rebuilt it.
    std::set<std::string> done;
    for (size_t i = 0; i < matchList.size(); ++i) {
        const std::string& match = matchList[i];
        const bool markerSafe = match.find_first_of("[@]") == std::string::npos;
        if (markerSafe && !done.insert(match).second) continue;
        textutil::replaceInPlace(working, match, kMarker);
    }
    return working;
}

// textOf(linesOf(text)) in one pass: every CR LF, lone CR or lone LF becomes
// CR LF, and a non-empty text that does not end with a break gets one.
std::string normaliseBreaks(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16 + 2);
    const size_t n = text.size();
    size_t start = 0;
    for (size_t i = 0; i < n; ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') continue;
        out.append(text, start, i - start);
        out += "\r\n";
        if (c == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < n) {
        out.append(text, start, n - start);
        out += "\r\n";
    }
    return out;
}

// Removes, walking the characters of `f` from its start, every character for
// which drop(first byte, second byte or -1) holds. Removing whole characters
// leaves the boundaries of the others as they were, so one walk gives what a
// ReplaceAll per character would.
template <class Drop> void removeCharacters(std::string& f, Drop drop) {
    const size_t n = f.size();
    size_t w = 0;
    for (size_t i = 0; i < n;) {
        const auto b = static_cast<unsigned char>(f[i]);
        const size_t len = isGbkLead(b) && i + 1 < n ? 2 : 1;
        const int second = len == 2 ? static_cast<unsigned char>(f[i + 1]) : -1;
        if (!drop(b, second)) {
            f[w++] = f[i];
            if (len == 2) f[w++] = f[i + 1];
        }
        i += len;
    }
    f.resize(w);
}

void trimControls(std::string& f) {
    size_t b = 0, e = f.size();
    while (b < e && static_cast<unsigned char>(f[b]) <= 0x20)
        ++b;
    while (e > b && static_cast<unsigned char>(f[e - 1]) <= 0x20)
        --e;
    f.erase(e);
    f.erase(0, b);
}

} // namespace

StringList wordsHoldingDelimiters(const StringList& words) {
    // The characters DelimiterPattern matches.
    static const StringList delimiters = {",",         ":",         ".",         "!",        ";",
                                          cp::G("，"), cp::G("。"), cp::G("！"), cp::G("；")};
    StringList out;
    for (const std::string& word : words) {
        for (size_t i = 0; i < word.size();) {
            const size_t len = isGbkLead(static_cast<unsigned char>(word[i])) ? 2 : 1;
            if (std::find(delimiters.begin(), delimiters.end(), word.substr(i, len)) !=
                delimiters.end()) {
                out.push_back(word);
                break;
            }
            i += len;
        }
    }
    return out;
}

StringList ExprTest(const std::string& pattern, const std::string& text, MatchTexts& matchList) {
    return linesOf(markMatches(pattern, text, matchList));
}

namespace {

// Shuffles and reassembles the fragments of `normalised` (the text cut at
// every marker), each held as the offset where it starts: it ends at the next
// marker. An offset is all a fragment costs while the fragments are shuffled,
// which keeps a text of nothing but delimiters from taking many times its size.
template <class Offset>
std::string shuffleFragments(const std::string& normalised, const ShuffleOptions& options,
                             std::mt19937_64& random, const MatchTexts& matchList) {
    const size_t m = matchList.size();
    const std::string_view all(normalised);
    // The fragments between markers (a plain byte search, like SplitString).
    std::vector<Offset> fragments;
    if (!normalised.empty()) {
        fragments.reserve(m + 1);
        size_t start = 0;
        for (size_t hit; (hit = all.find(kMarker, start)) != std::string_view::npos;
             start = hit + 3)
            fragments.push_back(static_cast<Offset>(start));
        fragments.push_back(static_cast<Offset>(start));
    }
    const size_t n = fragments.size();

    // Each entry is swapped with one drawn from all but the last place, so the
    // last fragment only moves in the final pass.
    for (size_t i = 0; i < n; ++i) {
        const size_t j = n >= 2 ? static_cast<size_t>(drawBelow(random, n - 1)) : 0;
        std::swap(fragments[i], fragments[j]);
    }

    const size_t k =
        options.keyword.empty() || n == 0 ? 0 : (n - 1) / static_cast<size_t>(options.frequency);
    std::string result;
    result.reserve(normalised.size() + 16);
    std::string f;
    for (size_t i = 0; i < n; ++i) {
        const size_t start = fragments[i];
        const size_t end = std::min(all.find(kMarker, start), all.size());
        f.assign(all.substr(start, end - start));
        if (options.stripSpaces) {
            // " ", then the ideographic space "　" (A1 A1), then TAB.
            removeCharacters(f, [](unsigned char b, int second) {
                return b == ' ' || b == '\t' || (b == 0xA1 && second == 0xA1);
            });
        }
        if (options.stripBreaks) {
            trimControls(f);
            removeCharacters(f, [](unsigned char b, int) { return b == '\r' || b == '\n'; });
        }
        if (!options.keyword.empty()) {
            const std::uint64_t r = k > 0 ? drawBelow(random, k) : 0;
            if (r == 0) f += options.keyword;
        }
        if (i < m) f += matchList[m - 1 - i];
        result += f;
    }
    if (!result.empty()) result += "\xA1\xA3"; // 。
    return result;
}

} // namespace

std::string daluan(const std::string& text, const ShuffleOptions& options, std::mt19937_64& random,
                   MatchTexts& matchList) {
    if (options.frequency < 1) throw std::invalid_argument("keyword frequency must be at least 1");
    std::vector<TextSpan> keep;
    if (options.protect) keep = options.protect->find(text);
    const std::string normalised =
        normaliseBreaks(markMatches(DelimiterPattern(), text, matchList, keep));
    if (normalised.size() <= UINT32_MAX)
        return shuffleFragments<std::uint32_t>(normalised, options, random, matchList);
    return shuffleFragments<size_t>(normalised, options, random, matchList);
}

} // namespace engine
