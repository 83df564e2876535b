#pragma once
// Reading the characters of page text in the two encodings the article
// reader works in (UTF-8, and GB18030 for GB-family pages): what kind each
// one is, and the text with its references decoded and its blanks collapsed.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace html {

enum class CharKind : std::uint8_t { Blank, Word, Punct, End, Other };

struct CharCounts {
    std::uint32_t words = 0; // Chinese characters, letters and digits
    std::uint32_t punct = 0; // commas, colons and the like inside sentences
    std::uint32_t ends = 0;  // full stops, question and exclamation marks
};

// Counts the characters of raw page text (references count as what they
// stand for, as far as it matters: &nbsp; is a blank).
void countChars(std::string_view raw, bool utf8, CharCounts& counts);

// Appends raw page text to `out` in the same encoding, references decoded,
// runs of blanks as one space (kept as line breaks when `keepLines`).
void appendText(std::string& out, std::string_view raw, bool utf8, bool keepLines = false);
// Trims blanks (ideographic spaces included) from both ends and collapses
// spaces around line breaks.
std::string trimText(std::string_view text, bool utf8);

// Appends the code point `c` as UTF-8.
void appendUtf8(std::string& out, std::uint32_t c);

// The Chinese characters, letters and digits of a text as numbers, letters
// folded to lower case: for comparing two texts.
std::vector<std::uint32_t> wordChars(std::string_view text, bool utf8);

} // namespace html
