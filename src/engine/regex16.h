#pragma once
// A compiled regular expression over UTF-16 text (PCRE2, 16-bit code units).
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class Regex16 {
  public:
    // Compiles `pattern`; throws std::runtime_error with PCRE2's message and
    // the offset when it is not a valid expression.
    Regex16(std::u16string_view pattern, bool ignoreCase);
    ~Regex16();
    Regex16(const Regex16&) = delete;
    Regex16& operator=(const Regex16&) = delete;

    // Calls fn(match) for every match in `subject`, left to right, without
    // overlap (an empty match moves the search on by one character).
    void forEachMatch(std::u16string_view subject,
                      const std::function<void(std::u16string_view)>& fn) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
