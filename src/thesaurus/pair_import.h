#pragma once
// Adding a file's worth of word pairs to the keyword table.
#include <vector>

#include "thesaurus/pair_file.h"

class KeywordStore;

struct ImportResult {
    int added = 0;
    std::vector<int> duplicateLines; // lines whose pair was already stored
};

// Appends every pair whose ow and nw are not already stored together (the same
// duplicate rule as adding one pair in the window; a pair repeated within the
// list counts as a duplicate from its second line on). All of it is one
// transaction: when anything fails the table is left as it was and the
// failure propagates.
ImportResult importPairs(KeywordStore& store, const std::vector<pairfile::Pair>& pairs);
