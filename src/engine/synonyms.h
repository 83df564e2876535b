#pragma once
// Synonym replacement: for every pair in order, every occurrence of the
// original word is replaced by the new word (ReplaceAll on the text as the
// earlier pairs left it). Later pairs see the replacements of earlier ones,
// earlier pairs win overlaps, an empty original word matches nothing and an
// empty new word deletes.
#include <memory>
#include <string>
#include <vector>

#include "engine/protected_words.h"
#include "engine/stringlist.h"

// The straightforward definition: one ReplaceAll pass per pair. Only the first
// min(originals, replacements) pairs take part.
std::string replaceSynonymsReference(const std::string& text, const StringList& originals,
                                     const StringList& replacements);

// What a replacement did, beside its result.
struct ReplaceTrace {
    // When asked for: one byte per byte of the result, 1 where a replacement
    // put the byte in, 0 where it comes from the input.
    std::string marks;
    // How many occurrences the pairs replaced, all pairs together (a word that
    // a later pair replaces again counts again).
    size_t replacements = 0;

    // The runs of marked bytes, in order.
    std::vector<TextSpan> markedSpans() const;
};

// The same result as replaceSynonymsReference, byte for byte, without a pass
// per pair: an index over all original words finds the few pairs that occur in
// the text, and only pairs that really change it are applied.
class SynonymReplacer {
  public:
    SynonymReplacer();
    ~SynonymReplacer();
    SynonymReplacer(const SynonymReplacer&) = delete;
    SynonymReplacer& operator=(const SynonymReplacer&) = delete;

    void build(const StringList& originals, const StringList& replacements);
    std::string apply(const std::string& text) const;
    // The same, with the stretches `keep` of the input (in order, disjoint,
    // starting and ending on character boundaries) left as they are: no
    // original word matches any of their bytes, as if each stretch were a wall
    // between independent texts. The trace tells what was replaced.
    std::string apply(const std::string& text, const std::vector<TextSpan>& keep,
                      ReplaceTrace& trace, bool withMarks) const;

    // True when the index was built from exactly these lists.
    bool builtFrom(const StringList& originals, const StringList& replacements) const;

  private:
    class Run;
    struct Pass;
    // A run of ordinary pairs, or one pair applied on its own.
    struct Stage {
        long directPair = -1;
        std::unique_ptr<Run> run;
    };
    StringList m_originals;
    StringList m_replacements;
    std::vector<Stage> m_stages;
};
