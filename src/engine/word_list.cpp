#include "engine/word_list.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "protocol/codepage.h"

namespace engine {
namespace {

bool isAsciiAlnum(unsigned char b) {
    return b < 0x80 && std::isalnum(b);
}

// A character that can belong to a word: an ASCII letter or digit, or a
// character of two or four bytes outside the GBK symbol rows (lead A1..A9).
bool isWordChar(const unsigned char* t, size_t i) {
    return isAsciiAlnum(t[i]) || (cp::isGbkLead(t[i]) && (t[i] < 0xA1 || t[i] > 0xA9));
}

std::string_view field(std::string_view& line) {
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        line = {};
        return {};
    }
    line.remove_prefix(start);
    const size_t end = std::min(line.find_first_of(" \t"), line.size());
    const std::string_view f = line.substr(0, end);
    line.remove_prefix(end);
    return f;
}

} // namespace

WordList WordList::parse(std::string_view gbk) {
    WordList list;
    // First the distinct words as views into `gbk`, then the entries that own
    // their bytes, and the index over those (the entries never move again).
    std::vector<std::pair<std::string_view, uint64_t>> words;
    std::unordered_map<std::string_view, size_t> seen;
    while (!gbk.empty()) {
        const size_t eol = std::min(gbk.find('\n'), gbk.size());
        std::string_view line = gbk.substr(0, eol);
        gbk.remove_prefix(std::min(eol + 1, gbk.size()));
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::string_view word = field(line);
        if (word.empty()) continue;
        const std::string_view countText = field(line);
        uint64_t count = 1;
        if (!countText.empty()) {
            uint64_t n = 0;
            const auto [end, ec] =
                std::from_chars(countText.data(), countText.data() + countText.size(), n);
            if (ec == std::errc() && end == countText.data() + countText.size()) {
                count = n;
                list.m_counted = true;
            }
        }
        const auto [at, fresh] = seen.emplace(word, words.size());
        if (fresh)
            words.emplace_back(word, count);
        else
            words[at->second].second = std::max(words[at->second].second, count);
    }

    list.m_entries.reserve(words.size());
    for (const auto& [word, count] : words) {
        list.m_entries.push_back({std::string(word), count});
        list.m_total += count;
    }
    list.m_index.reserve(words.size() * 2);
    for (size_t k = 0; k < list.m_entries.size(); ++k)
        list.m_index[list.m_entries[k].word] = k;
    for (const Entry& e : list.m_entries) {
        const auto* t = reinterpret_cast<const unsigned char*>(e.word.data());
        for (size_t i = 0; i < e.word.size();) {
            i += cp::charLength(t, i, e.word.size());
            if (i < e.word.size())
                list.m_index.emplace(std::string_view(e.word).substr(0, i), kPrefix);
        }
    }
    return list;
}

uint64_t WordList::count(std::string_view word) const {
    const auto it = m_index.find(word);
    return it == m_index.end() || it->second == kPrefix ? 0 : m_entries[it->second].count;
}

std::vector<size_t> WordList::boundaries(std::string_view text) const {
    const auto* t = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    const double logTotal = std::log(static_cast<double>(std::max<uint64_t>(m_total, 1)));
    std::vector<size_t> out{0};
    std::vector<size_t> starts; // the characters of one run of word characters, and its end
    std::vector<double> best;   // the likeliest cut of the run from a character on
    std::vector<size_t> next;   // where the first word of that cut ends
    for (size_t i = 0; i < n;) {
        if (!isWordChar(t, i)) {
            i += cp::charLength(t, i, n);
            out.push_back(i);
            continue;
        }
        starts.clear();
        for (; i < n && isWordChar(t, i); i += cp::charLength(t, i, n))
            starts.push_back(i);
        starts.push_back(i);
        const size_t m = starts.size() - 1;
        best.assign(m + 1, 0.0);
        next.assign(m + 1, m);
        for (size_t k = m; k-- > 0;) {
            const std::string_view one = text.substr(starts[k], starts[k + 1] - starts[k]);
            best[k] = std::log(static_cast<double>(std::max<uint64_t>(count(one), 1))) - logTotal +
                      best[k + 1];
            next[k] = k + 1;
            for (size_t e = k + 2; e <= m; ++e) {
                const auto it = m_index.find(text.substr(starts[k], starts[e] - starts[k]));
                if (it == m_index.end()) break;
                if (it->second == kPrefix || m_entries[it->second].count == 0) continue;
                const double p =
                    std::log(static_cast<double>(m_entries[it->second].count)) - logTotal + best[e];
                if (p >= best[k]) {
                    best[k] = p;
                    next[k] = e;
                }
            }
        }
        // A run of single ASCII letters and digits is one word.
        for (size_t k = 0; k < m; k = next[k]) {
            const size_t e = next[k];
            const bool asciiHere = e == k + 1 && isAsciiAlnum(t[starts[k]]);
            const bool asciiNext = e < m && next[e] == e + 1 && isAsciiAlnum(t[starts[e]]);
            if (!(asciiHere && asciiNext)) out.push_back(starts[e]);
        }
    }
    return out;
}

} // namespace engine
