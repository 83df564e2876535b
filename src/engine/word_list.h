#pragma once
// A list of the words of a language, with how often each occurs in some body
// of text, for finding where a text's words begin and end: one word per line,
// optionally followed (after spaces or a TAB) by its count and anything else
// ("大多数 3609 m"). It lets the thesaurus check find pairs that would fire
// inside a longer word, and the benchmarks measure how many replacements cut
// a word of the text apart.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace engine {

class WordList {
  public:
    struct Entry {
        std::string word; // GBK
        uint64_t count;   // 1 when the line gives none
    };

    WordList() = default;
    // The index points into the entries, so a list moves but is not copied.
    WordList(WordList&&) = default;
    WordList& operator=(WordList&&) = default;
    WordList(const WordList&) = delete;
    WordList& operator=(const WordList&) = delete;

    // The words of `gbk`, a list as above. Blank lines are skipped; a word
    // listed twice keeps its larger count; a second field that is not a whole
    // number counts as no count.
    static WordList parse(std::string_view gbk);

    // Every word, in the order of its first line.
    const std::vector<Entry>& entries() const { return m_entries; }
    // True when some line gives a count.
    bool counted() const { return m_counted; }
    // The count of `word`; 0 when it is not listed.
    uint64_t count(std::string_view word) const;

    // The word boundaries of `text` (GBK): the byte offsets, ascending, from 0
    // to text.size() both included, where the most likely cut of the text into
    // listed words begins or ends a word. A word's likelihood is its share of
    // all counts; a character no listed word covers stands alone, a run of
    // ASCII letters and digits is one word, and a character that is neither
    // (punctuation, a space) is a word of its own.
    std::vector<size_t> boundaries(std::string_view text) const;

  private:
    std::vector<Entry> m_entries;
    // Every word by its bytes, to its entry; every proper prefix of a word
    // that is no word itself maps to kPrefix, so that a scan can stop as soon
    // as no word starts with what it has read.
    static constexpr size_t kPrefix = SIZE_MAX;
    std::unordered_map<std::string_view, size_t> m_index;
    uint64_t m_total = 0;
    bool m_counted = false;
};

} // namespace engine
