#include "engine/synonyms.h"

#include <algorithm>
#include <bitset>
#include <functional>
#include <queue>
#include <string_view>

#include "engine/char_automaton.h"
#include "engine/textutil.h"

// How the fast replacement stays exact.
//
// Words that end on a character boundary (every word read from the database
// does) keep the character boundaries of the text around them when they are
// inserted or removed. So, over a run of such pairs:
// - A character of the input that occurs in no original word is never part of
//   an occurrence, now or after any replacement. The text is cut after every
//   such "wall" character into segments that are rewritten independently.
// - Inside a segment, one automaton scan finds the pairs whose original word
//   occurs. Pairs are then taken in ascending order from a queue; a pair that
//   replaces something can only create occurrences that overlap what it
//   inserted (or span the place where it deleted), so only the neighbourhood
//   of its replacements is scanned again and the pairs found there are queued.
// A pair with a word that ends in the middle of a character is rare (only hand
// made lists have one); it is applied on its own with ReplaceAll between the
// runs of ordinary pairs.

namespace {

inline bool isLead(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}

// Segments longer than this are rescanned only around the replacements.
constexpr size_t kWholeRescanLimit = 512;

} // namespace

std::string replaceSynonymsReference(const std::string& text, const StringList& originals,
                                     const StringList& replacements) {
    if (text.empty()) return {};
    std::string t = text;
    const size_t count = std::min(originals.size(), replacements.size());
    for (size_t i = 0; i < count; ++i)
        t = ReplaceAll(t, originals[i], replacements[i]);
    return t;
}

struct SynonymReplacer::Stage {
    // A pair applied on its own (directPair >= 0), or a run of ordinary pairs.
    long directPair = -1;
    CharAutomaton automaton;
    std::vector<std::vector<int>> patternPairs; // pattern id -> its pairs, ascending
    std::bitset<256> singleUsed;                // one-byte characters of original words
    std::bitset<65536> doubleUsed;              // two-byte characters of original words

    struct Work {
        std::vector<int> queue;      // min-heap of pair indices
        std::vector<unsigned> stamp; // per pattern: last scan that queued it
        unsigned scanNo = 0;
        std::vector<size_t> sites;
        std::string next;
    };

    std::string applyRun(std::string_view text, const StringList& originals,
                         const StringList& replacements) const;
    void rewriteSegment(std::string_view segment, std::string& out, Work& work,
                        const StringList& originals, const StringList& replacements) const;
    void queuePatterns(std::string_view data, int after, Work& work) const;
};

void SynonymReplacer::Stage::queuePatterns(std::string_view data, int after, Work& work) const {
    const unsigned scanNo = ++work.scanNo;
    automaton.scan(data, [&](int id, size_t) {
        unsigned& seen = work.stamp[static_cast<size_t>(id)];
        if (seen == scanNo) return;
        seen = scanNo;
        const auto& pairs = patternPairs[static_cast<size_t>(id)];
        auto it = std::upper_bound(pairs.begin(), pairs.end(), after);
        if (it == pairs.end()) return;
        work.queue.push_back(*it);
        std::push_heap(work.queue.begin(), work.queue.end(), std::greater<int>());
    });
}

void SynonymReplacer::Stage::rewriteSegment(std::string_view segment, std::string& out, Work& work,
                                            const StringList& originals,
                                            const StringList& replacements) const {
    if (segment.empty()) return;
    work.queue.clear();
    queuePatterns(segment, -1, work);
    if (work.queue.empty()) {
        out.append(segment);
        return;
    }
    const size_t maxLen = automaton.maxLength();
    std::string cur(segment);
    int last = -1;
    while (!work.queue.empty()) {
        std::pop_heap(work.queue.begin(), work.queue.end(), std::greater<int>());
        const int pair = work.queue.back();
        work.queue.pop_back();
        if (pair == last) continue;
        last = pair;
        const std::string& from = originals[static_cast<size_t>(pair)];
        const std::string& to = replacements[static_cast<size_t>(pair)];
        work.sites.clear();
        work.next.clear();
        if (textutil::replaceInto(cur, from, to, work.next, &work.sites) == 0) continue;
        cur.swap(work.next);

        if (cur.size() <= kWholeRescanLimit) {
            queuePatterns(cur, pair, work);
            continue;
        }
        // Rescan the windows that can hold an occurrence overlapping an
        // inserted word (or spanning a deletion), each from a boundary.
        const auto* t = reinterpret_cast<const unsigned char*>(cur.data());
        size_t boundary = 0, lastBoundary = 0;
        size_t winStart = 0, winEnd = 0;
        bool open = false;
        auto flush = [&] {
            while (boundary <= winStart && boundary < cur.size()) {
                lastBoundary = boundary;
                boundary += isLead(t[boundary]) ? 2 : 1;
            }
            queuePatterns(std::string_view(cur).substr(lastBoundary, winEnd - lastBoundary), pair,
                          work);
        };
        for (size_t site : work.sites) {
            const size_t ws = site >= maxLen ? site - maxLen + 1 : 0;
            const size_t we = std::min(cur.size(), site + to.size() + maxLen - 1);
            if (open && ws <= winEnd) {
                winEnd = std::max(winEnd, we);
                continue;
            }
            if (open) flush();
            winStart = ws;
            winEnd = we;
            open = true;
        }
        if (open) flush();
    }
    out.append(cur);
}

std::string SynonymReplacer::Stage::applyRun(std::string_view text, const StringList& originals,
                                             const StringList& replacements) const {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    Work work;
    work.stamp.assign(static_cast<size_t>(automaton.patternCount()), 0);
    const auto* t = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t segStart = 0, i = 0;
    while (i < n) {
        const unsigned char b = t[i];
        size_t len = 1;
        bool wall;
        if (isLead(b)) {
            // A lead byte at the very end is a character no word holds.
            if (i + 1 < n) {
                len = 2;
                wall = !doubleUsed[(static_cast<size_t>(b) << 8) | t[i + 1]];
            } else {
                wall = true;
            }
        } else {
            wall = !singleUsed[b];
        }
        if (wall) {
            rewriteSegment(text.substr(segStart, i - segStart), out, work, originals, replacements);
            out.append(text.substr(i, len));
            segStart = i + len;
        }
        i += len;
    }
    rewriteSegment(text.substr(segStart), out, work, originals, replacements);
    return out;
}

SynonymReplacer::SynonymReplacer() = default;
SynonymReplacer::~SynonymReplacer() = default;

void SynonymReplacer::build(const StringList& originals, const StringList& replacements) {
    m_originals = originals;
    m_replacements = replacements;
    m_stages.clear();
    const size_t count = std::min(originals.size(), replacements.size());
    Stage* run = nullptr;
    auto closeRun = [&] {
        if (run) run->automaton.finish();
        run = nullptr;
    };
    for (size_t i = 0; i < count; ++i) {
        const std::string& from = originals[i];
        const std::string& to = replacements[i];
        if (from.empty()) continue; // matches nothing
        if (!textutil::endsOnCharBoundary(from) || !textutil::endsOnCharBoundary(to)) {
            closeRun();
            auto stage = std::make_unique<Stage>();
            stage->directPair = static_cast<long>(i);
            m_stages.push_back(std::move(stage));
            continue;
        }
        if (!run) {
            m_stages.push_back(std::make_unique<Stage>());
            run = m_stages.back().get();
        }
        const int id = run->automaton.add(from);
        if (static_cast<size_t>(id) == run->patternPairs.size()) run->patternPairs.emplace_back();
        run->patternPairs[static_cast<size_t>(id)].push_back(static_cast<int>(i));
        const auto* w = reinterpret_cast<const unsigned char*>(from.data());
        for (size_t k = 0; k < from.size();) {
            if (isLead(w[k])) {
                run->doubleUsed.set((static_cast<size_t>(w[k]) << 8) | w[k + 1]);
                k += 2;
            } else {
                run->singleUsed.set(w[k]);
                k += 1;
            }
        }
    }
    closeRun();
}

std::string SynonymReplacer::apply(const std::string& text) const {
    if (text.empty()) return {};
    std::string cur = text;
    for (const auto& stage : m_stages) {
        if (stage->directPair >= 0) {
            const auto p = static_cast<size_t>(stage->directPair);
            textutil::replaceInPlace(cur, m_originals[p], m_replacements[p]);
        } else {
            cur = stage->applyRun(cur, m_originals, m_replacements);
        }
    }
    return cur;
}

bool SynonymReplacer::builtFrom(const StringList& originals, const StringList& replacements) const {
    return m_originals == originals && m_replacements == replacements;
}
