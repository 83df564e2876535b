#pragma once
// The thesaurus check ("词库体检"): where the in-use pairs, applied one after
// the other in their order, work against each other. For pairs i before j:
//   duplicate  ow_i == ow_j (one finding per word, with all its pairs);
//   no-op      ow == nw (a single pair);
//   undone     ow_j occurs inside nw_i, and replacing every occurrence of ow_j
//              in nw_i by nw_j gives ow_i (A->B, then B->A);
//   chain      otherwise, ow_j occurs inside nw_i (A->B, then B->C);
//   shadowed   ow_i occurs inside ow_j and differs from it: pair i has already
//              changed it wherever it stood, so pair j never fires there.
// "Occurs inside" is at GBK character boundaries, as replacement matches; an
// empty word occurs nowhere. One pair may take part in findings of several
// kinds.
#include <string_view>
#include <vector>

#include "engine/stringlist.h"

namespace engine {

enum class FindingKind { Undone, Chain, Shadowed, Duplicate, NoOp };

struct Finding {
    FindingKind kind;
    std::vector<size_t> pairs; // indexes into the lists, ascending
    bool operator==(const Finding&) const = default;
};

// The findings for the pairs (originals[k], replacements[k]) in list order,
// sorted by their pairs and then by kind. Only the pairs both lists hold are
// checked. One multi-pattern scan per word, so a large thesaurus is checked in
// about linear time.
std::vector<Finding> checkThesaurus(const StringList& originals, const StringList& replacements);

// "undone", "chain", "shadowed", "duplicate", "no-op".
std::string_view findingKindName(FindingKind kind);

} // namespace engine
