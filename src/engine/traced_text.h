#pragma once
// A text rewritten pair by pair, as synonym replacement does, that remembers
// where each of its bytes came from: the thesaurus check replays the pairs on
// a single listed word, the benchmarks on whole paragraphs, to tell which
// replacements matched the source's own words and which cut into them.
#include <string>
#include <string_view>
#include <vector>

#include "engine/text_span.h"

namespace engine {

class TracedText {
  public:
    explicit TracedText(std::string_view source);

    // ReplaceAll(text, ow, nw). Appends to `matched` each occurrence replaced:
    // its stretch of the source, or {npos, npos} when the occurrence holds a
    // byte that an earlier replacement put in. Returns how many were replaced.
    size_t replace(std::string_view ow, std::string_view nw, std::vector<TextSpan>& matched);

    const std::string& text() const { return m_text; }

  private:
    std::string m_text;
    std::vector<long> m_from; // per byte of m_text: its offset in the source, -1 if inserted
    std::vector<size_t> m_found;
    std::string m_next;
    std::vector<long> m_nextFrom;
};

} // namespace engine
