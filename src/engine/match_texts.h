#pragma once
// The texts a regular expression matched, in text order (the program's match
// list). An article's delimiters are a handful of texts repeated up to
// millions of times, so an entry is an index into the distinct texts: four
// bytes an entry instead of a string's 32.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/stringlist.h"

namespace engine {

class MatchTexts {
  public:
    size_t size() const { return m_order.size(); }
    bool empty() const { return m_order.empty(); }
    const std::string& operator[](size_t i) const { return m_texts[m_order[i]]; }
    // Every text once, in the order first met.
    const std::vector<std::string>& distinct() const { return m_texts; }

    // The index of `text` among the distinct texts, added when new.
    std::uint32_t intern(const std::string& text);
    // Appends an entry by an index intern gave.
    void append(std::uint32_t index) { m_order.push_back(index); }
    void push_back(const std::string& text) { append(intern(text)); }

    void clear();
    void swap(MatchTexts& other) noexcept;

    friend bool operator==(const MatchTexts& a, const StringList& b);

  private:
    std::vector<std::string> m_texts;
    std::unordered_map<std::string, std::uint32_t> m_index;
    std::vector<std::uint32_t> m_order;
};

} // namespace engine
