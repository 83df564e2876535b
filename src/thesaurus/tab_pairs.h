#pragma once
// The plain list of word pairs kept in data/ (the starter thesaurus): UTF-8,
// one pair per line, "original<TAB>new"; empty lines and lines starting with
// "#" are skipped.
#include <string_view>
#include <vector>

#include "engine/stringlist.h"

namespace tabpairs {

struct Parsed {
    StringList originals; // GBK, in file order
    StringList replacements;
    std::vector<int> lines;     // the 1-based line of each pair
    std::vector<int> malformed; // lines without a TAB, or with an empty word
};

// The new word is everything after the first TAB.
Parsed parse(std::string_view utf8);

} // namespace tabpairs
