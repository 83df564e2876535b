#include "engine/match_texts.h"

#include <stdexcept>

namespace engine {

std::uint32_t MatchTexts::intern(const std::string& text) {
    const auto it = m_index.find(text);
    if (it != m_index.end()) return it->second;
    if (m_texts.size() >= UINT32_MAX) throw std::length_error("too many distinct matched texts");
    const auto index = static_cast<std::uint32_t>(m_texts.size());
    m_texts.push_back(text);
    m_index.emplace(text, index);
    return index;
}

void MatchTexts::clear() {
    m_texts.clear();
    m_index.clear();
    m_order.clear();
}

void MatchTexts::swap(MatchTexts& other) noexcept {
    m_texts.swap(other.m_texts);
    m_index.swap(other.m_index);
    m_order.swap(other.m_order);
}

bool operator==(const MatchTexts& a, const StringList& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < b.size(); ++i)
        if (a[i] != b[i]) return false;
    return true;
}

} // namespace engine
