#pragma once
// The ordered string list: texts in insertion order, duplicates and empty
// entries allowed, never sorted. Its text form joins the entries, each followed
// by CR LF; reading a text cuts at CR LF, a lone CR or a lone LF, and a break at
// the very end starts no further entry.
#include <string>
#include <string_view>
#include <vector>

using StringList = std::vector<std::string>;

// Entries of a text, cut at CR LF, lone CR or lone LF.
StringList linesOf(std::string_view text);
// The text form: every entry followed by CR LF.
std::string textOf(const StringList& lines);
