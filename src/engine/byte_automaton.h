#pragma once
// A multi-pattern matcher (Aho-Corasick over bytes) that reports only the
// occurrences starting on a GBK character boundary. Used to find, in one pass,
// which words of a large thesaurus occur in a text.
#include <cstdint>
#include <string_view>
#include <vector>

class ByteAutomaton {
  public:
    // Adds a non-empty pattern and returns its id; the same bytes give the
    // same id. Only before finish().
    int add(std::string_view pattern);
    // Builds the failure links; no pattern can be added afterwards.
    void finish();

    int patternCount() const { return static_cast<int>(m_patternLength.size()); }
    size_t patternLength(int id) const { return m_patternLength[static_cast<size_t>(id)]; }
    size_t maxLength() const { return m_maxLength; }

    // Calls fn(id, start) for every occurrence of every pattern in `data` that
    // starts on a character boundary; data[0] must be a boundary. Occurrences
    // are reported in the order of their last byte.
    template <class F> void scan(std::string_view data, F&& fn) const;

  private:
    static constexpr int32_t kNone = -1;
    int32_t child(int32_t state, unsigned char byte) const;
    int32_t step(int32_t state, unsigned char byte) const {
        for (;;) {
            const int32_t next = child(state, byte);
            if (next != kNone) return next;
            if (state == 0) return 0;
            state = m_fail[static_cast<size_t>(state)];
        }
    }
    template <class F> void report(int32_t state, size_t pos, F& fn, auto&& isBoundary) const;

    // Construction: one edge per (parent, byte).
    struct Edge {
        int32_t parent;
        unsigned char byte;
        int32_t target;
    };
    std::vector<Edge> m_edges;
    std::vector<int32_t> m_buildIndex; // open-addressing table over m_edges while adding
    bool m_finished = false;

    // The finished automaton: children of state s are m_edgeByte/m_edgeTarget
    // in [m_edgeBegin[s], m_edgeBegin[s+1]), sorted by byte; the root is a
    // full table.
    std::vector<uint32_t> m_edgeBegin;
    std::vector<unsigned char> m_edgeByte;
    std::vector<int32_t> m_edgeTarget;
    int32_t m_root[256];
    std::vector<int32_t> m_fail;
    std::vector<int32_t> m_output; // pattern id ending at the state, or kNone
    std::vector<int32_t> m_dict;   // nearest proper suffix state with an output
    std::vector<size_t> m_patternLength;
    size_t m_maxLength = 0;
    int32_t m_stateCount = 1;
};

inline int32_t ByteAutomaton::child(int32_t state, unsigned char byte) const {
    if (state == 0) return m_root[byte];
    uint32_t lo = m_edgeBegin[static_cast<size_t>(state)];
    const uint32_t end = m_edgeBegin[static_cast<size_t>(state) + 1];
    // Skip the entries below `byte` by halving, then look at the rest in order.
    uint32_t hi = end;
    while (hi - lo > 8) {
        const uint32_t mid = (lo + hi) / 2;
        if (m_edgeByte[mid] < byte)
            lo = mid + 1;
        else
            hi = mid + 1;
    }
    for (; lo < end; ++lo) {
        if (m_edgeByte[lo] == byte) return m_edgeTarget[lo];
        if (m_edgeByte[lo] > byte) break;
    }
    return kNone;
}

template <class F>
void ByteAutomaton::report(int32_t state, size_t pos, F& fn, auto&& isBoundary) const {
    int32_t s =
        m_output[static_cast<size_t>(state)] != kNone ? state : m_dict[static_cast<size_t>(state)];
    while (s != kNone) {
        const int32_t id = m_output[static_cast<size_t>(s)];
        const size_t len = m_patternLength[static_cast<size_t>(id)];
        if (isBoundary(len)) fn(id, pos + 1 - len);
        s = m_dict[static_cast<size_t>(s)];
    }
}

template <class F> void ByteAutomaton::scan(std::string_view data, F&& fn) const {
    const auto* t = reinterpret_cast<const unsigned char*>(data.data());
    const size_t n = data.size();
    int32_t state = 0;
    size_t nextBoundary = 0;
    if (m_maxLength <= 64) {
        // Bit k of `recent` tells whether position pos-k starts a character.
        uint64_t recent = 0;
        for (size_t pos = 0; pos < n; ++pos) {
            const unsigned char b = t[pos];
            recent <<= 1;
            if (pos == nextBoundary) {
                recent |= 1;
                nextBoundary += (b >= 0x81 && b <= 0xFE) ? 2 : 1;
            }
            state = step(state, b);
            if (m_output[static_cast<size_t>(state)] != kNone ||
                m_dict[static_cast<size_t>(state)] != kNone)
                report(state, pos, fn, [recent](size_t len) { return (recent >> (len - 1)) & 1; });
        }
        return;
    }
    std::vector<unsigned char> starts(n, 0);
    for (size_t pos = 0; pos < n; ++pos) {
        const unsigned char b = t[pos];
        if (pos == nextBoundary) {
            starts[pos] = 1;
            nextBoundary += (b >= 0x81 && b <= 0xFE) ? 2 : 1;
        }
        state = step(state, b);
        if (m_output[static_cast<size_t>(state)] != kNone ||
            m_dict[static_cast<size_t>(state)] != kNone)
            report(state, pos, fn,
                   [&starts, pos](size_t len) { return starts[pos + 1 - len] != 0; });
    }
}
