#include "engine/protected_words.h"

#include <algorithm>

#include "engine/char_automaton.h"
#include "engine/textutil.h"

ProtectedWordFinder::ProtectedWordFinder() = default;
ProtectedWordFinder::~ProtectedWordFinder() = default;

void ProtectedWordFinder::build(const StringList& words) {
    m_words = words;
    m_automaton.reset();
    auto automaton = std::make_unique<CharAutomaton>();
    bool any = false;
    for (const std::string& word : words) {
        if (word.empty() || !textutil::endsOnCharBoundary(word)) continue;
        automaton->add(word);
        any = true;
    }
    if (!any) return;
    // Protected words are few and articles long: most steps start at the root.
    automaton->finish(true);
    m_automaton = std::move(automaton);
}

std::vector<TextSpan> ProtectedWordFinder::find(std::string_view text) const {
    std::vector<TextSpan> spans;
    if (!m_automaton) return spans;
    // Occurrences arrive in the order of their last byte; the longest word
    // starting at a place ends last, and a shorter one at the same start lies
    // inside it, so sorting by start and joining overlaps gives the stretches.
    m_automaton->scan(text, [&](int id, size_t start) {
        spans.push_back({start, start + m_automaton->patternLength(id)});
    });
    if (spans.empty()) return spans;
    std::sort(spans.begin(), spans.end(),
              [](const TextSpan& a, const TextSpan& b) { return a.begin < b.begin; });
    size_t w = 0;
    for (size_t r = 1; r < spans.size(); ++r) {
        if (spans[r].begin < spans[w].end)
            spans[w].end = std::max(spans[w].end, spans[r].end);
        else
            spans[++w] = spans[r];
    }
    spans.resize(w + 1);
    return spans;
}
