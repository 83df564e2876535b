#pragma once
// What the fuzz targets share: a broken property aborts with its description
// (libFuzzer then keeps the input as a crash), and the input is cut into the
// fields a target needs.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #cond);       \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

namespace fuzz {

// The input read front to back: a few bytes of choices, then fields cut at a
// separator byte (so that a corpus file stays readable by hand).
class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size)
        : m_rest(reinterpret_cast<const char*>(data), size) {}
    // One byte of choice (0 when the input is used up).
    std::uint8_t byte() {
        if (m_rest.empty()) return 0;
        const auto b = static_cast<std::uint8_t>(m_rest.front());
        m_rest.remove_prefix(1);
        return b;
    }
    // The bytes up to the next `sep` (dropped), or all that is left.
    std::string field(char sep = '\x01') {
        const std::size_t p = m_rest.find(sep);
        std::string f(m_rest.substr(0, p));
        m_rest.remove_prefix(p == std::string_view::npos ? m_rest.size() : p + 1);
        return f;
    }
    std::string rest() {
        std::string r(m_rest);
        m_rest = {};
        return r;
    }
    bool empty() const { return m_rest.empty(); }

  private:
    std::string_view m_rest;
};

} // namespace fuzz
