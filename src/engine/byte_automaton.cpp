#include "engine/byte_automaton.h"

#include <algorithm>
#include <stdexcept>

namespace {

uint64_t edgeKey(int32_t parent, unsigned char byte) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(parent)) << 8) | byte;
}

size_t hashKey(uint64_t key) {
    key ^= key >> 33;
    key *= 0xff51afd7ed558ccdULL;
    key ^= key >> 33;
    return static_cast<size_t>(key);
}

} // namespace

int ByteAutomaton::add(std::string_view pattern) {
    if (m_finished) throw std::logic_error("ByteAutomaton::add after finish");
    if (pattern.empty()) throw std::invalid_argument("ByteAutomaton::add: empty pattern");
    int32_t state = 0;
    for (char ch : pattern) {
        const auto byte = static_cast<unsigned char>(ch);
        // Keep the table at most half full.
        if ((m_edges.size() + 1) * 2 > m_buildIndex.size()) {
            std::vector<int32_t> bigger(std::max<size_t>(1024, m_buildIndex.size() * 2), kNone);
            const size_t mask = bigger.size() - 1;
            for (size_t e = 0; e < m_edges.size(); ++e) {
                size_t h = hashKey(edgeKey(m_edges[e].parent, m_edges[e].byte)) & mask;
                while (bigger[h] != kNone)
                    h = (h + 1) & mask;
                bigger[h] = static_cast<int32_t>(e);
            }
            m_buildIndex.swap(bigger);
        }
        const size_t mask = m_buildIndex.size() - 1;
        size_t h = hashKey(edgeKey(state, byte)) & mask;
        int32_t found = kNone;
        while (m_buildIndex[h] != kNone) {
            const Edge& e = m_edges[static_cast<size_t>(m_buildIndex[h])];
            if (e.parent == state && e.byte == byte) {
                found = e.target;
                break;
            }
            h = (h + 1) & mask;
        }
        if (found == kNone) {
            found = m_stateCount++;
            m_buildIndex[h] = static_cast<int32_t>(m_edges.size());
            m_edges.push_back({state, byte, found});
            m_output.push_back(kNone); // m_output[found - 1] for now; shifted in finish()
        }
        state = found;
    }
    // m_output is indexed by state - 1 until finish() puts the root in front.
    int32_t& out = m_output[static_cast<size_t>(state) - 1];
    if (out == kNone) {
        out = static_cast<int32_t>(m_patternLength.size());
        m_patternLength.push_back(pattern.size());
        m_maxLength = std::max(m_maxLength, pattern.size());
    }
    return out;
}

void ByteAutomaton::finish() {
    if (m_finished) return;
    m_finished = true;
    m_buildIndex.clear();
    m_buildIndex.shrink_to_fit();
    m_output.insert(m_output.begin(), kNone);

    const auto states = static_cast<size_t>(m_stateCount);
    std::sort(m_edges.begin(), m_edges.end(), [](const Edge& a, const Edge& b) {
        return a.parent != b.parent ? a.parent < b.parent : a.byte < b.byte;
    });
    m_edgeBegin.assign(states + 1, 0);
    for (const Edge& e : m_edges)
        ++m_edgeBegin[static_cast<size_t>(e.parent) + 1];
    for (size_t s = 0; s < states; ++s)
        m_edgeBegin[s + 1] += m_edgeBegin[s];
    m_edgeByte.resize(m_edges.size());
    m_edgeTarget.resize(m_edges.size());
    for (size_t e = 0; e < m_edges.size(); ++e) {
        m_edgeByte[e] = m_edges[e].byte;
        m_edgeTarget[e] = m_edges[e].target;
    }
    m_edges.clear();
    m_edges.shrink_to_fit();
    std::fill(std::begin(m_root), std::end(m_root), kNone);
    for (uint32_t e = m_edgeBegin[0]; e < m_edgeBegin[1]; ++e)
        m_root[m_edgeByte[e]] = m_edgeTarget[e];

    // Breadth-first: the failure link of a state is the longest proper suffix
    // of its path that is also a path of the trie.
    m_fail.assign(states, 0);
    m_dict.assign(states, kNone);
    std::vector<int32_t> queue;
    queue.reserve(states);
    for (uint32_t e = m_edgeBegin[0]; e < m_edgeBegin[1]; ++e)
        queue.push_back(m_edgeTarget[e]);
    for (size_t head = 0; head < queue.size(); ++head) {
        const int32_t u = queue[head];
        const auto us = static_cast<size_t>(u);
        for (uint32_t e = m_edgeBegin[us]; e < m_edgeBegin[us + 1]; ++e) {
            const int32_t c = m_edgeTarget[e];
            const auto cs = static_cast<size_t>(c);
            int32_t f = m_fail[us];
            int32_t target;
            for (;;) {
                target = child(f, m_edgeByte[e]);
                if (target != kNone || f == 0) break;
                f = m_fail[static_cast<size_t>(f)];
            }
            m_fail[cs] = target == kNone ? 0 : target;
            const auto fs = static_cast<size_t>(m_fail[cs]);
            m_dict[cs] = m_output[fs] != kNone ? m_fail[cs] : m_dict[fs];
            queue.push_back(c);
        }
    }
}
