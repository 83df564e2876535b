#include "engine/thesaurus_check.h"

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>

#include "engine/char_automaton.h"
#include "engine/textutil.h"
#include "engine/traced_text.h"

// How the check stays fast: every distinct original word goes into one
// multi-pattern automaton (more than one when the words are too many for one).
// Scanning each new word with it finds the later pairs whose original word
// occurs there (chains and undone pairs); scanning each original word finds
// the earlier pairs whose original word lies inside it (shadowed pairs), and
// scanning each listed word finds the pairs that may fire inside it. The cost
// is that of reading every word once, plus the findings.

namespace engine {
namespace {

using Group = std::vector<size_t>; // pairs sharing one original word, ascending

class OriginalIndex {
  public:
    void add(std::string_view word, const Group* group) {
        if (!textutil::endsOnCharBoundary(word)) {
            // Only hand-made words end inside a character; they are few, and
            // are searched for one by one.
            m_cut.emplace_back(word, group);
            return;
        }
        if (m_chunks.empty() ||
            m_chunks.back().automaton.stateCount() + word.size() > CharAutomaton::kMaxStates)
            m_chunks.emplace_back();
        Chunk& chunk = m_chunks.back();
        const auto id = static_cast<size_t>(chunk.automaton.add(word));
        chunk.groups.resize(std::max(chunk.groups.size(), id + 1));
        chunk.groups[id] = group;
    }
    void finish() {
        for (Chunk& chunk : m_chunks) {
            chunk.automaton.finish();
            chunk.stamp.assign(chunk.groups.size(), 0);
        }
    }
    // Calls fn(group, length) once for every distinct original word that
    // occurs in `text` at a character boundary.
    template <class F> void forEachIn(std::string_view text, F&& fn) {
        ++m_scan;
        for (Chunk& chunk : m_chunks) {
            chunk.automaton.scan(text, [&](int id, size_t) {
                auto& seen = chunk.stamp[static_cast<size_t>(id)];
                if (seen == m_scan) return;
                seen = m_scan;
                fn(*chunk.groups[static_cast<size_t>(id)], chunk.automaton.patternLength(id));
            });
        }
        for (const auto& [word, group] : m_cut) {
            m_found.clear();
            textutil::findOccurrences(text, word, m_found);
            if (!m_found.empty()) fn(*group, word.size());
        }
    }

    // Calls fn(group, start) for every occurrence of an original word in
    // `text` that starts on a character boundary.
    template <class F> void forEachAt(std::string_view text, F&& fn) {
        for (Chunk& chunk : m_chunks)
            chunk.automaton.scan(text, [&](int id, size_t start) {
                fn(*chunk.groups[static_cast<size_t>(id)], start);
            });
        for (const auto& [word, group] : m_cut) {
            m_found.clear();
            textutil::findOccurrences(text, word, m_found);
            for (size_t start : m_found)
                fn(*group, start);
        }
    }

  private:
    struct Chunk {
        CharAutomaton automaton;
        std::vector<const Group*> groups; // by pattern id
        std::vector<unsigned> stamp;      // by pattern id: last scan that reported it
    };
    std::vector<Chunk> m_chunks;
    std::vector<std::pair<std::string_view, const Group*>> m_cut;
    std::vector<size_t> m_found;
    unsigned m_scan = 0;
};

// The pairs that fire inside the longer listed words: each word is rewritten
// on its own by the pairs whose original word occurs in it, in their order; a
// pair fires inside the word when it matches bytes of the word itself that are
// not the whole word.
void findInsideWords(const StringList& originals, const StringList& replacements,
                     OriginalIndex& index, const LongerWords& longer,
                     std::vector<Finding>& findings) {
    std::map<size_t, std::vector<const WordList::Entry*>> byPair;
    std::vector<size_t> pairs;
    std::vector<TextSpan> matched;
    for (const WordList::Entry& entry : longer.list->entries()) {
        const std::string& word = entry.word;
        if (entry.count < longer.minCount || !textutil::endsOnCharBoundary(word)) continue;
        pairs.clear();
        bool shorter = false;
        index.forEachAt(word, [&](const Group& group, size_t) {
            shorter = shorter || originals[group.front()].size() < word.size();
            pairs.insert(pairs.end(), group.begin(), group.end());
        });
        if (!shorter) continue;
        std::sort(pairs.begin(), pairs.end());
        pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
        TracedText text(word);
        for (size_t k : pairs) {
            matched.clear();
            text.replace(originals[k], replacements[k], matched);
            const bool inside = std::any_of(matched.begin(), matched.end(), [&](TextSpan s) {
                return s.begin != std::string::npos && s.end - s.begin < word.size();
            });
            if (inside) byPair[k].push_back(&entry);
        }
    }
    for (auto& [k, words] : byPair) {
        std::stable_sort(words.begin(), words.end(),
                         [](const auto* a, const auto* b) { return a->count > b->count; });
        Finding f{FindingKind::InsideWord, {k}, {}};
        for (const WordList::Entry* e : words)
            f.words.push_back(e->word);
        findings.push_back(std::move(f));
    }
}

} // namespace

std::string_view findingKindName(FindingKind kind) {
    switch (kind) {
    case FindingKind::Undone:
        return "undone";
    case FindingKind::Chain:
        return "chain";
    case FindingKind::Shadowed:
        return "shadowed";
    case FindingKind::Duplicate:
        return "duplicate";
    case FindingKind::NoOp:
        return "no-op";
    case FindingKind::InsideWord:
        return "inside a longer word";
    }
    return "";
}

std::vector<Finding> checkThesaurus(const StringList& originals, const StringList& replacements,
                                    const LongerWords& longer) {
    const size_t count = std::min(originals.size(), replacements.size());
    std::vector<Finding> findings;

    // Pairs grouped by original word, each group in ascending order.
    std::unordered_map<std::string_view, Group> groups;
    groups.reserve(count);
    for (size_t k = 0; k < count; ++k)
        groups[originals[k]].push_back(k);
    OriginalIndex index;
    for (const auto& [word, group] : groups) {
        if (group.size() > 1) findings.push_back({FindingKind::Duplicate, group});
        if (!word.empty()) index.add(word, &group);
    }
    index.finish();

    for (size_t k = 0; k < count; ++k) {
        const std::string& ow = originals[k];
        const std::string& nw = replacements[k];
        if (ow == nw) findings.push_back({FindingKind::NoOp, {k}});
        // Later pairs that rewrite this pair's new word.
        index.forEachIn(nw, [&](const Group& later, size_t) {
            for (auto j = std::upper_bound(later.begin(), later.end(), k); j != later.end(); ++j) {
                const bool undone = ReplaceAll(nw, originals[*j], replacements[*j]) == ow;
                findings.push_back({undone ? FindingKind::Undone : FindingKind::Chain, {k, *j}});
            }
        });
        // Earlier pairs whose original word lies inside this one's.
        index.forEachIn(ow, [&](const Group& earlier, size_t length) {
            if (length == ow.size()) return; // the word itself
            for (auto i = earlier.begin(); i != earlier.end() && *i < k; ++i)
                findings.push_back({FindingKind::Shadowed, {*i, k}});
        });
    }
    if (longer.list) findInsideWords(originals, replacements, index, longer, findings);

    std::sort(findings.begin(), findings.end(), [](const Finding& a, const Finding& b) {
        if (a.pairs != b.pairs) return a.pairs < b.pairs;
        return a.kind < b.kind;
    });
    return findings;
}

} // namespace engine
