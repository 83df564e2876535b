#include "engine/traced_text.h"

#include <numeric>

#include "engine/textutil.h"

namespace engine {

TracedText::TracedText(std::string_view source) : m_text(source), m_from(source.size()) {
    std::iota(m_from.begin(), m_from.end(), 0L);
}

size_t TracedText::replace(std::string_view ow, std::string_view nw,
                           std::vector<TextSpan>& matched) {
    m_found.clear();
    textutil::findOccurrences(m_text, ow, m_found);
    if (m_found.empty()) return 0;
    m_next.clear();
    m_nextFrom.clear();
    size_t done = 0;
    for (size_t p : m_found) {
        // The source's own bytes keep consecutive offsets.
        bool own = m_from[p] >= 0;
        for (size_t i = 1; own && i < ow.size(); ++i)
            own = m_from[p + i] == m_from[p] + static_cast<long>(i);
        const auto start = static_cast<size_t>(m_from[p]);
        matched.push_back(own ? TextSpan{start, start + ow.size()}
                              : TextSpan{std::string::npos, std::string::npos});
        m_next.append(m_text, done, p - done);
        m_nextFrom.insert(m_nextFrom.end(), m_from.begin() + static_cast<long>(done),
                          m_from.begin() + static_cast<long>(p));
        m_next.append(nw);
        m_nextFrom.insert(m_nextFrom.end(), nw.size(), -1L);
        done = p + ow.size();
    }
    m_next.append(m_text, done);
    m_nextFrom.insert(m_nextFrom.end(), m_from.begin() + static_cast<long>(done), m_from.end());
    m_text.swap(m_next);
    m_from.swap(m_nextFrom);
    return m_found.size();
}

} // namespace engine
