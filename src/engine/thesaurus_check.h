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
// Given a list of the language's words, also:
//   inside a longer word
//              pair k fires inside a common listed word longer than ow_k when
//              that word stands alone: the thesaurus, applied to the word,
//              replaces ow_k there (大多 in 大多数 unless a pair for 大多数
//              comes first). One finding per pair, with all such words.
// "Occurs inside" is at GBK character boundaries, as replacement matches; an
// empty word occurs nowhere. One pair may take part in findings of several
// kinds.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/stringlist.h"
#include "engine/word_list.h"

namespace engine {

enum class FindingKind { Undone, Chain, Shadowed, Duplicate, NoOp, InsideWord };

struct Finding {
    FindingKind kind;
    std::vector<size_t> pairs; // indexes into the lists, ascending
    // InsideWord: the longer words (GBK), the most common first.
    std::vector<std::string> words;
    bool operator==(const Finding&) const = default;
};

// The words to look for original words in: the listed words with a count of
// at least minCount that are longer than the original word. No list, no
// such findings.
struct LongerWords {
    const WordList* list = nullptr;
    uint64_t minCount = 0;
};

// The findings for the pairs (originals[k], replacements[k]) in list order,
// sorted by their pairs and then by kind. Only the pairs both lists hold are
// checked. One multi-pattern scan per word, so a large thesaurus is checked in
// about linear time.
std::vector<Finding> checkThesaurus(const StringList& originals, const StringList& replacements,
                                    const LongerWords& longer = {});

// "undone", "chain", "shadowed", "duplicate", "no-op", "inside a longer word".
std::string_view findingKindName(FindingKind kind);

} // namespace engine
