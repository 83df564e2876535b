#pragma once
// The plain list of word pairs kept in data/ (the starter thesaurus): UTF-8,
// one pair per line, "original<TAB>new"; empty lines and lines starting with
// "#" are skipped.
#include <string>
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

// Creates the database file `fsPath` with the table keyword holding the parsed
// pairs, all in use, in file order, in one transaction (wyc-cli init-db).
// Throws DbError; the file may then be left half made.
void createStore(const std::string& fsPath, const Parsed& parsed);

} // namespace tabpairs
