#include "engine/pipeline.h"

#include <algorithm>
#include <utility>

#include "engine/originality.h"
#include "engine/shuffle.h"

namespace engine {

namespace {

std::shared_ptr<const ProtectedWordFinder> finderOf(const StringList& words) {
    auto finder = std::make_shared<ProtectedWordFinder>();
    finder->build(words);
    return finder;
}

} // namespace

std::shared_ptr<const Thesaurus> Thesaurus::make(const StringList& originals,
                                                 const StringList& replacements,
                                                 const StringList& protectedWords) {
    auto replacer = std::make_shared<SynonymReplacer>();
    replacer->build(originals, replacements);
    return fromParts(std::move(replacer), finderOf(protectedWords),
                     finderOf(wordsHoldingDelimiters(protectedWords)),
                     std::min(originals.size(), replacements.size()));
}

std::shared_ptr<const Thesaurus> Thesaurus::withProtectedWords(const StringList& words) const {
    return fromParts(m_replacer, finderOf(words), finderOf(wordsHoldingDelimiters(words)),
                     m_pairs);
}

std::shared_ptr<const Thesaurus>
Thesaurus::fromParts(std::shared_ptr<const SynonymReplacer> replacer,
                     std::shared_ptr<const ProtectedWordFinder> guard,
                     std::shared_ptr<const ProtectedWordFinder> shuffleGuard, size_t pairs) {
    auto t = std::make_shared<Thesaurus>();
    t->m_replacer = std::move(replacer);
    t->m_guard = std::move(guard);
    t->m_shuffleGuard = std::move(shuffleGuard);
    t->m_pairs = pairs;
    return t;
}

void RewriteState::reseed(std::optional<std::uint64_t> seed) {
    if (seed)
        random.seed(*seed);
    else
        random.seed((static_cast<std::uint64_t>(std::random_device{}()) << 32) ^
                    std::random_device{}());
}

Pipeline::Pipeline(RewriteSettings settings, std::shared_ptr<const Thesaurus> thesaurus)
    : m_settings(std::move(settings)), m_thesaurus(std::move(thesaurus)) {}

std::string Pipeline::replace(const std::string& text, ReplaceTrace* trace,
                              bool withMarks) const {
    ReplaceTrace unused;
    ReplaceTrace& t = trace ? *trace : unused;
    t = {};
    if (!m_settings.synonyms || !m_thesaurus) return text;
    if (text.empty()) return {};
    return m_thesaurus->replacer().apply(text, m_thesaurus->guard().find(text), t, withMarks);
}

std::string Pipeline::finish(std::string replaced, RewriteState& state) const {
    if (!m_settings.shuffle) return replaced;
    const ShuffleSettings& s = m_settings.shuffleSettings;
    ShuffleOptions options;
    options.stripSpaces = s.stripSpaces;
    options.stripBreaks = s.stripBreaks;
    options.keyword = s.keyword;
    options.frequency = s.frequency;
    if (m_thesaurus && !m_thesaurus->shuffleGuard().empty())
        options.protect = &m_thesaurus->shuffleGuard();
    return daluan(replaced, options, state.random, state.matchList);
}

RewriteResult Pipeline::rewrite(const std::string& text, RewriteState& state,
                                RewriteWants wants) const {
    RewriteResult result;
    // Marks name bytes of the replaced text; the shuffle would move them.
    const bool marking = wants.marks && m_settings.synonyms && !m_settings.shuffle;
    ReplaceTrace trace;
    result.text = finish(replace(text, &trace, marking), state);
    result.replacements = trace.replacements;
    if (marking) result.marks = trace.markedSpans();
    if (wants.originality) result.originality = originality(text, result.text);
    return result;
}

} // namespace engine
