#include "engine/char_automaton.h"

#include "protocol/codepage.h"

#include <algorithm>
#include <stdexcept>

void CharAutomaton::insertSlot(int32_t state, uint32_t code, int32_t target) {
    // Keep the table at most half full.
    if ((m_used + 1) * 2 > m_slots.size()) {
        std::vector<uint64_t> old(m_slots.size() * 2, 0);
        old.swap(m_slots);
        m_mask = m_slots.size() - 1;
        for (uint64_t slot : old) {
            if (slot == 0) continue;
            size_t h = slotHash(slot >> 24) & m_mask;
            while (m_slots[h] != 0)
                h = (h + 1) & m_mask;
            m_slots[h] = slot;
        }
    }
    const uint64_t key = slotKey(state, code);
    size_t h = slotHash(key) & m_mask;
    while (m_slots[h] != 0)
        h = (h + 1) & m_mask;
    m_slots[h] = (key << 24) | static_cast<uint32_t>(target);
    ++m_used;
}

void CharAutomaton::reserve(size_t characters) {
    characters = std::min(characters, kMaxStates);
    m_states.reserve(characters + 1);
    m_edgeParent.reserve(characters);
    m_edgeChild.reserve(characters);
    m_edgeCode.reserve(characters);
    size_t slots = m_slots.size();
    while (slots < characters * 2)
        slots *= 2;
    if (slots > m_slots.size() && m_used == 0) {
        m_slots.assign(slots, 0);
        m_mask = slots - 1;
    }
}

int CharAutomaton::add(std::string_view pattern) {
    if (m_finished) throw std::logic_error("CharAutomaton::add after finish");
    if (pattern.empty()) throw std::invalid_argument("CharAutomaton::add: empty pattern");
    const auto* p = reinterpret_cast<const unsigned char*>(pattern.data());
    const size_t n = pattern.size();
    // Check the whole pattern first so a refused one leaves nothing behind.
    for (size_t i = 0; i < n; i += isLead(p[i]) ? 2 : 1)
        if (isLead(p[i]) && i + 1 >= n)
            throw std::invalid_argument("CharAutomaton::add: pattern ends inside a character");
    if (m_states.size() + n > kMaxStates)
        throw std::length_error("CharAutomaton::add: too many states");
    int32_t state = 0;
    auto advance = [&](uint32_t code) {
        int32_t next = child(state, code);
        if (next == kNone) {
            next = static_cast<int32_t>(m_states.size());
            m_states.emplace_back();
            insertSlot(state, code, next);
            m_edgeParent.push_back(state);
            m_edgeCode.push_back(code);
            m_edgeChild.push_back(next);
        }
        state = next;
    };
    for (size_t i = 0; i < n;) {
        const size_t len = cp::charLength(p, i, n);
        if (len == 1) {
            advance(p[i]);
        } else {
            advance((static_cast<uint32_t>(p[i]) << 8) | p[i + 1]);
            if (len == 4) advance(secondHalfCode(p[i + 2], p[i + 3]));
        }
        i += len;
    }
    State& end = m_states[static_cast<size_t>(state)];
    if (end.output == kNone) {
        end.output = static_cast<int32_t>(m_patternLength.size());
        m_patternLength.push_back(n);
        if (n > m_maxLength) m_maxLength = n;
    }
    return end.output;
}

void CharAutomaton::finish(bool rootTable) {
    if (m_finished) return;
    m_finished = true;
    // Children of every state, grouped by parent (counting sort of the edges).
    const size_t states = m_states.size();
    std::vector<uint32_t> begin(states + 1, 0);
    for (int32_t parent : m_edgeParent)
        ++begin[static_cast<size_t>(parent) + 1];
    for (size_t s = 0; s < states; ++s)
        begin[s + 1] += begin[s];
    std::vector<uint32_t> edges(m_edgeParent.size());
    {
        std::vector<uint32_t> fill(begin.begin(), begin.end() - 1);
        for (size_t e = 0; e < m_edgeParent.size(); ++e)
            edges[fill[static_cast<size_t>(m_edgeParent[e])]++] = static_cast<uint32_t>(e);
    }

    // Breadth-first: the failure link of a state is the longest proper suffix
    // of its path that is also a path of the trie.
    std::vector<int32_t> queue;
    queue.reserve(states);
    queue.push_back(0);
    for (size_t head = 0; head < queue.size(); ++head) {
        const int32_t u = queue[head];
        const auto us = static_cast<size_t>(u);
        for (uint32_t k = begin[us]; k < begin[us + 1]; ++k) {
            const uint32_t e = edges[k];
            const int32_t c = m_edgeChild[e];
            const uint32_t code = m_edgeCode[e];
            State& cs = m_states[static_cast<size_t>(c)];
            if (u == 0) {
                cs.fail = 0;
            } else {
                int32_t f = m_states[us].fail;
                int32_t target;
                for (;;) {
                    target = child(f, code);
                    if (target != kNone || f == 0) break;
                    f = m_states[static_cast<size_t>(f)].fail;
                }
                cs.fail = target == kNone ? 0 : target;
            }
            const State& fs = m_states[static_cast<size_t>(cs.fail)];
            cs.next = fs.report;
            cs.report = cs.output != kNone ? c : cs.next;
            queue.push_back(c);
        }
    }
    if (rootTable || m_patternLength.size() >= 256) {
        m_root.assign(65536, kNone);
        for (size_t e = 0; e < m_edgeParent.size(); ++e)
            if (m_edgeParent[e] == 0) m_root[m_edgeCode[e]] = m_edgeChild[e];
    }
    m_edgeParent = {};
    m_edgeChild = {};
    m_edgeCode = {};
}
