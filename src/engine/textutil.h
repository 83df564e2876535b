#pragma once
// Text utilities on GBK byte strings: cutting at a separator, replacing every
// occurrence of a text at character boundaries, form-encoding, and reading a
// whole file. None of them converts between code pages.
#include <string>
#include <string_view>
#include <vector>

#include "engine/stringlist.h"

// Cuts `text` at every occurrence of `separator` (a plain byte search, not
// code-page aware). The empty text gives no entry; otherwise there is exactly
// one entry more than separators, empty entries included. An empty separator
// cuts nothing: the result is the text as its one entry.
StringList SplitString(std::string_view text, std::string_view separator);

// Replaces, left to right and without overlap, every occurrence of `pattern`
// that starts on a character boundary (GBK, with GB18030's four-byte forms as
// one character each: see cp::charLength) by `replacement`. Inserted text is
// never scanned again. An empty pattern or text leaves the text unchanged.
std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement);

// Form-encodes `text` byte by byte: A-Z a-z 0-9 - . _ stay, a space becomes "+"
// (spaceAsPlus) or "%20", every other byte becomes %XX with upper-case hex.
std::string UrlEncode(std::string_view text, bool spaceAsPlus);

// The bytes of the file at `path`. Throws std::runtime_error naming the full
// path and the system's reason when the file cannot be opened or read.
std::string ReadWholeFile(const std::string& path);

namespace textutil {

// The start of every occurrence ReplaceAll would replace, in order, appended
// to `positions`.
void findOccurrences(std::string_view text, std::string_view pattern,
                     std::vector<size_t>& positions);

// Like ReplaceAll, appending the result to `out`. Returns the number of
// occurrences replaced; when `sites` is given, it receives the offset in `out`
// of every inserted replacement.
size_t replaceInto(std::string_view text, std::string_view pattern, std::string_view replacement,
                   std::string& out, std::vector<size_t>* sites = nullptr);

// ReplaceAll on `text` itself; returns false (and leaves the text alone) when
// nothing was replaced.
bool replaceInPlace(std::string& text, std::string_view pattern, std::string_view replacement);

// True when the bytes parse as whole GBK characters: no lead byte (81..FE) is
// the last byte. Such a text keeps the character boundaries of its neighbours
// when it is inserted into, or removed from, a text at a boundary.
bool endsOnCharBoundary(std::string_view bytes);

// True when, walked by the GBK rule, the bytes hold a two-byte unit whose
// second byte is a digit: half of a GB18030 four-byte character. Only a word
// that holds one can start in the middle of such a character, so only such a
// word needs the four-byte rule to be matched.
bool holdsFourByteHalf(std::string_view bytes);

} // namespace textutil
