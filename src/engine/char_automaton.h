#pragma once
// A multi-pattern matcher (Aho-Corasick) over the characters of GBK text:
// it steps one character (one or two bytes) at a time from a character
// boundary, so it only ever reports occurrences that start on a boundary. A
// GB18030 four-byte character takes two steps, its second half under a code
// of its own (trail byte 0-9) that no first half has, so no pattern can start
// or end in its middle.
// Used to find, in one pass, which words of a large thesaurus occur in a text.
#include <cstdint>
#include <string_view>
#include <vector>

#include "protocol/codepage.h"

class CharAutomaton {
  public:
    // Adds a non-empty pattern made of whole characters (no lead byte at its
    // end) and returns its id; the same bytes give the same id. Only before
    // finish(); throws std::invalid_argument for an empty or cut pattern and
    // std::length_error when the states would exceed kMaxStates.
    int add(std::string_view pattern);
    // Prepares for patterns of about this many characters in all.
    void reserve(size_t characters);
    // Builds the failure links; no pattern can be added afterwards. The
    // transitions from the root become a full table for large automata, or
    // when `rootTable` asks for it (a few patterns scanned over long texts).
    void finish(bool rootTable = false);

    // Most states one automaton can hold; patterns with more characters in
    // all need more than one automaton.
    static constexpr size_t kMaxStates = (size_t{1} << 24) - 1;

    int patternCount() const { return static_cast<int>(m_patternLength.size()); }
    size_t stateCount() const { return m_states.size(); }
    size_t patternLength(int id) const { return m_patternLength[static_cast<size_t>(id)]; }
    size_t maxLength() const { return m_maxLength; }

    // Calls fn(id, start) for every occurrence of every pattern in `data`;
    // data[0] must be a character boundary. Occurrences are reported in the
    // order of their last byte.
    template <class F> void scan(std::string_view data, F&& fn) const;

  private:
    static constexpr int32_t kNone = -1;
    static constexpr uint32_t kNoCode = ~uint32_t{0};
    static bool isLead(unsigned char b) { return cp::isGbkLead(b); }
    static uint32_t secondHalfCode(unsigned char lead, unsigned char digit) {
        return (static_cast<uint32_t>(lead) << 8) | static_cast<uint32_t>(digit - 0x30);
    }

    struct State {
        int32_t fail = 0;
        int32_t report = kNone; // first state on the suffix chain with an output
        int32_t output = kNone; // pattern id ending here
        int32_t next = kNone;   // next state with an output on the suffix chain
    };
    // A transition packed in one word: (key << 24) | target, where key is
    // (state << 16 | code) + 1; 0 marks a free slot.
    static uint64_t slotKey(int32_t state, uint32_t code) {
        return ((static_cast<uint64_t>(static_cast<uint32_t>(state)) << 16) | code) + 1;
    }
    static size_t slotHash(uint64_t key) {
        key ^= key >> 29;
        key *= 0xbf58476d1ce4e5b9ULL;
        key ^= key >> 32;
        return static_cast<size_t>(key);
    }
    int32_t child(int32_t state, uint32_t code) const {
        if (state == 0 && !m_root.empty()) return m_root[code];
        const uint64_t key = slotKey(state, code);
        for (size_t h = slotHash(key) & m_mask;; h = (h + 1) & m_mask) {
            const uint64_t slot = m_slots[h];
            if ((slot >> 24) == key) return static_cast<int32_t>(slot & 0xFFFFFF);
            if (slot == 0) return kNone;
        }
    }
    int32_t step(int32_t state, uint32_t code) const {
        for (;;) {
            const int32_t next = child(state, code);
            if (next != kNone) return next;
            if (state == 0) return 0;
            state = m_states[static_cast<size_t>(state)].fail;
        }
    }
    void insertSlot(int32_t state, uint32_t code, int32_t target);

    // Transitions from the root as a full table, made by finish() for large
    // automata or on request (most steps of a scan start from the root).
    std::vector<int32_t> m_root;
    std::vector<uint64_t> m_slots = std::vector<uint64_t>(1024); // never full: lookups stop at 0
    size_t m_mask = 1023;
    size_t m_used = 0;
    std::vector<State> m_states = std::vector<State>(1);
    // Edges in the order they were made (parent, code, child), for finish().
    std::vector<int32_t> m_edgeParent, m_edgeChild;
    std::vector<uint32_t> m_edgeCode;
    std::vector<size_t> m_patternLength;
    size_t m_maxLength = 0;
    bool m_finished = false;
};

template <class F> void CharAutomaton::scan(std::string_view data, F&& fn) const {
    const auto* t = reinterpret_cast<const unsigned char*>(data.data());
    const size_t n = data.size();
    int32_t state = 0;
    for (size_t pos = 0; pos < n;) {
        uint32_t code = t[pos];
        if (isLead(t[pos]) && pos + 1 < n) {
            if (cp::charLength(t, pos, n) == 4) {
                // The first half: no pattern ends here.
                state = step(state, (code << 8) | t[pos + 1]);
                pos += 2;
                code = secondHalfCode(t[pos], t[pos + 1]);
                ++pos;
            } else {
                code = (code << 8) | t[++pos];
            }
        }
        state = step(state, code);
        for (int32_t s = m_states[static_cast<size_t>(state)].report; s != kNone;) {
            const State& st = m_states[static_cast<size_t>(s)];
            fn(st.output, pos + 1 - m_patternLength[static_cast<size_t>(st.output)]);
            s = st.next;
        }
        ++pos;
    }
}
