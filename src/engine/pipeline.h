#pragma once
// The rewrite pipeline: the one place that knows the steps of a rewrite and
// their order. Synonym replacement (when on) comes first, then the shuffle
// (when on); the window, wyc-cli, the batch job and the rewrite service all
// rewrite through here.
//
// A rewrite has two stages so that a batch run can do the expensive, pure part
// on worker threads: replace() is const and thread-safe, finish() runs the
// shuffle with the caller's random generator and match list (one generator per
// program or run, seeded once, so a seed repeats a whole run).
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/match_texts.h"
#include "engine/protected_words.h"
#include "engine/stringlist.h"
#include "engine/synonyms.h"
#include "engine/text_span.h"

namespace engine {

// The thesaurus as one rewrite sees it: the pairs in use, indexed, and the
// protected words. Fixed once made, so any number of threads may rewrite with
// it while the window goes on changing its lists; a change makes a new one.
class Thesaurus {
  public:
    // Pairs in order (only the first min(originals, replacements) take part)
    // and protected words.
    static std::shared_ptr<const Thesaurus> make(const StringList& originals,
                                                 const StringList& replacements,
                                                 const StringList& protectedWords);
    // The same pairs with other protected words: the index is shared.
    std::shared_ptr<const Thesaurus> withProtectedWords(const StringList& protectedWords) const;
    // Parts made elsewhere (the window keeps them apart, as its lists change
    // apart). `shuffleGuard` holds the protected words the shuffle could cut.
    static std::shared_ptr<const Thesaurus>
    fromParts(std::shared_ptr<const SynonymReplacer> replacer,
              std::shared_ptr<const ProtectedWordFinder> guard,
              std::shared_ptr<const ProtectedWordFinder> shuffleGuard, size_t pairs);

    const SynonymReplacer& replacer() const { return *m_replacer; }
    const ProtectedWordFinder& guard() const { return *m_guard; }
    const ProtectedWordFinder& shuffleGuard() const { return *m_shuffleGuard; }
    const std::shared_ptr<const SynonymReplacer>& replacerPtr() const { return m_replacer; }
    const std::shared_ptr<const ProtectedWordFinder>& guardPtr() const { return m_guard; }
    size_t pairCount() const { return m_pairs; }

    // Same index and same protected words (the same objects).
    bool sameAs(const Thesaurus& other) const {
        return m_replacer == other.m_replacer && m_guard == other.m_guard &&
               m_shuffleGuard == other.m_shuffleGuard;
    }

  private:
    std::shared_ptr<const SynonymReplacer> m_replacer;
    std::shared_ptr<const ProtectedWordFinder> m_guard;
    std::shared_ptr<const ProtectedWordFinder> m_shuffleGuard;
    size_t m_pairs = 0;
};

// The two strip switches, the keyword and its frequency, as the tool panel
// holds them.
struct ShuffleSettings {
    bool stripSpaces = true;
    bool stripBreaks = false;
    std::string keyword; // GBK; empty = no insertion
    int frequency = 5;   // 1 or more
    bool operator==(const ShuffleSettings&) const = default;
};

struct RewriteSettings {
    bool synonyms = true; // "1.同义词"
    bool shuffle = false; // "2.打乱文章"
    ShuffleSettings shuffleSettings;
    bool operator==(const RewriteSettings&) const = default;
};

// What a rewrite can report beside its text.
struct RewriteResult {
    std::string text;
    // The words replacement put in (only when asked for and the shuffle is
    // off: the shuffle moves them).
    std::vector<TextSpan> marks;
    // Occurrences replaced, all pairs together.
    size_t replacements = 0;
    // 原创度 of the text against the source, when asked for.
    std::optional<int> originality;
};

// The state a series of rewrites carries from one to the next: the shuffle's
// random generator, seeded once, and its match list.
struct RewriteState {
    explicit RewriteState(std::optional<std::uint64_t> seed = std::nullopt) { reseed(seed); }
    void reseed(std::optional<std::uint64_t> seed);
    std::mt19937_64 random;
    MatchTexts matchList;
};

struct RewriteWants {
    bool marks = false;
    bool originality = false;
};

class Pipeline {
  public:
    // A pipeline without a thesaurus replaces nothing (synonyms off or a
    // thesaurus not loaded yet).
    Pipeline(RewriteSettings settings, std::shared_ptr<const Thesaurus> thesaurus);

    const RewriteSettings& settings() const { return m_settings; }
    const std::shared_ptr<const Thesaurus>& thesaurus() const { return m_thesaurus; }

    // Stage 1, synonym replacement when it is on; thread-safe. The text
    // unchanged when it is off.
    std::string replace(const std::string& text, ReplaceTrace* trace = nullptr,
                        bool withMarks = false) const;
    // Stage 2, the shuffle when it is on, on what stage 1 gave.
    std::string finish(std::string replaced, RewriteState& state) const;

    // Both stages.
    RewriteResult rewrite(const std::string& text, RewriteState& state,
                          RewriteWants wants = {}) const;

  private:
    RewriteSettings m_settings;
    std::shared_ptr<const Thesaurus> m_thesaurus;
};

} // namespace engine
