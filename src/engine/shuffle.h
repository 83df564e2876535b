#pragma once
// The article shuffle: the text is cut at its punctuation marks, the fragments
// are put in a random order, optionally stripped of spaces and line breaks and
// given a keyword, the punctuation marks are glued back in reverse order and
// the text ends with an ideographic full stop.
#include <cstdint>
#include <random>
#include <string>

#include "engine/match_texts.h"
#include "engine/protected_words.h"
#include "engine/stringlist.h"

namespace engine {

// The delimiters the shuffle cuts at: , ， : . 。 ! ！ ； ; (as a GBK pattern).
const std::string& DelimiterPattern();

// The marker that stands in for each delimiter while the text is cut.
inline constexpr const char* kMarker = "[@]";

struct ShuffleOptions {
    bool stripSpaces = true;  // remove " ", "　" and TAB from every fragment
    bool stripBreaks = false; // trim every fragment and remove CR and LF
    std::string keyword;      // GBK; empty = no insertion
    int frequency = 5;        // about this many keyword insertions per article
    // Protected words: the text is never cut inside one, so neither the
    // reordering nor the keyword splits it. Only words that hold a delimiter
    // matter (see wordsHoldingDelimiters). None when null.
    const ProtectedWordFinder* protect = nullptr;
};

// The words of `words` that hold a delimiter at a character boundary: the only
// protected words the shuffle could cut.
StringList wordsHoldingDelimiters(const StringList& words);

// A uniform integer in [0, bound) from `random` (bound >= 1), by rejection so
// that every value is equally likely and a seed gives the same draws on every
// build.
std::uint64_t drawBelow(std::mt19937_64& random, std::uint64_t bound);

// Finds every match of `pattern` (a GBK regular expression, matched without
// regard to case on the UTF-16 form of the text), puts the matched texts into
// `matchList` in text order, replaces their occurrences by the marker and
// returns the marked text cut into lines. Throws std::runtime_error, before
// `matchList` is touched, when the pattern cannot be compiled.
StringList ExprTest(const std::string& pattern, const std::string& text, MatchTexts& matchList);

// Shuffles `text` with the given options, drawing from `random`. `matchList`
// is ExprTest's list (overwritten). Throws std::invalid_argument for a
// frequency below 1.
std::string daluan(const std::string& text, const ShuffleOptions& options, std::mt19937_64& random,
                   MatchTexts& matchList);

} // namespace engine
