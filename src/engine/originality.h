#pragma once
// The originality score ("原创度") of a rewritten article against its source.
//
// Of each text only its Chinese characters, letters and digits count, in
// order; everything else (punctuation, spaces, line breaks, symbols) is
// dropped. Originality is the share of the result's 4-character shingles
// (every run of 4 consecutive counted characters, by position) that occur
// nowhere among the source's shingles, as a whole percent rounded down. A
// result with fewer than 4 counted characters has no shingle and scores 0.
//
// Counted characters: CJK ideographs (U+3007, U+3400-4DBF, U+4E00-9FFF,
// U+F900-FAFF, U+20000-3FFFF, so also those outside GBK), the ASCII letters
// and digits and their full-width forms, and the letters of Latin-1 and Latin
// Extended-A/B (U+00C0-024F but for U+00D7 and U+00F7), Greek (U+0391-03C9)
// and Cyrillic (U+0400-04FF). No case folding or other normalisation.
#include <string_view>

namespace engine {

// The texts are GBK (four-byte GB18030 sequences included). 0 to 100.
int originality(std::string_view source, std::string_view result);

// Running average of the scores of a batch run, rounded down.
class OriginalityTally {
  public:
    void add(int percent) {
        m_sum += percent;
        ++m_count;
    }
    int count() const { return m_count; }
    int average() const { return m_count == 0 ? 0 : static_cast<int>(m_sum / m_count); }

  private:
    long long m_sum = 0;
    int m_count = 0;
};

} // namespace engine
