#pragma once
// Protected words ("保护词"): words that synonym replacement never changes.
// Their occurrences in a text are found at GBK character boundaries; where
// several protected words start at one place the longest is taken, and
// occurrences that overlap join into one protected stretch. No thesaurus word
// may match any byte of a stretch, so a replacement beside it cannot merge
// with it either, and the shuffle never cuts one.
#include <memory>
#include <string_view>
#include <vector>

#include "engine/stringlist.h"
#include "engine/text_span.h"

class CharAutomaton;

class ProtectedWordFinder {
  public:
    ProtectedWordFinder();
    ~ProtectedWordFinder();
    ProtectedWordFinder(const ProtectedWordFinder&) = delete;
    ProtectedWordFinder& operator=(const ProtectedWordFinder&) = delete;

    // Empty words and words that end inside a character are left out.
    void build(const StringList& words);
    bool empty() const { return !m_automaton; }
    // True when the finder was built from exactly these words.
    bool builtFrom(const StringList& words) const { return m_words == words; }

    // The protected stretches of `text`, in order, disjoint and non-empty.
    std::vector<TextSpan> find(std::string_view text) const;

  private:
    StringList m_words;
    std::unique_ptr<CharAutomaton> m_automaton;
};
