#pragma once
// Synthetic Chinese text for the benchmarks: characters from the 3,755 common
// characters of GBK with a Zipf-like frequency, a thesaurus of two- to
// four-character words with chains and new words that hold their original,
// and articles that use the thesaurus words often, as real text does.
#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "protocol/codepage.h"
#include "engine/stringlist.h"

namespace bench {

// Draws ranks 0..n-1 with probability about 1/(rank+1).
class Zipf {
  public:
    explicit Zipf(size_t n) : m_cdf(n) {
        double sum = 0;
        for (size_t i = 0; i < n; ++i)
            m_cdf[i] = (sum += 1.0 / static_cast<double>(i + 1));
        for (auto& c : m_cdf)
            c /= sum;
    }
    size_t operator()(std::mt19937_64& rng) const {
        const double u = std::uniform_real_distribution<double>(0, 1)(rng);
        return static_cast<size_t>(std::lower_bound(m_cdf.begin(), m_cdf.end(), u) - m_cdf.begin());
    }

  private:
    std::vector<double> m_cdf;
};

struct Corpus {
    std::vector<std::string> chars; // GBK level-1 characters, in a random rank order
    Zipf charRank{3755};
    std::mt19937_64 rng{2024};

    Corpus() {
        for (int lead = 0xB0; lead <= 0xD7; ++lead)
            for (int trail = 0xA1; trail <= 0xFE; ++trail)
                if (!(lead == 0xD7 && trail > 0xF9))
                    chars.push_back({static_cast<char>(lead), static_cast<char>(trail)});
        std::shuffle(chars.begin(), chars.end(), rng);
    }
    std::string word(size_t len) {
        std::string w;
        for (size_t i = 0; i < len; ++i)
            w += chars[charRank(rng)];
        return w;
    }
};

struct Thesaurus {
    StringList originals, replacements;
};

inline Thesaurus makeThesaurus(Corpus& c, size_t pairs) {
    Thesaurus t;
    std::set<std::string> seen;
    while (t.originals.size() < pairs) {
        const size_t roll = c.rng() % 10;
        std::string ow = c.word(roll < 6 ? 2 : roll < 9 ? 3 : 4);
        if (!seen.insert(ow).second) continue;
        std::string nw = c.word(2 + c.rng() % 2);
        if (c.rng() % 20 == 0) nw = c.word(1) + ow; // the new word holds the original
        t.originals.push_back(ow);
        t.replacements.push_back(nw);
    }
    // Chains: some new words are the originals of other pairs.
    for (size_t i = 0; i < pairs; ++i)
        if (c.rng() % 5 == 0) t.replacements[i] = t.originals[c.rng() % pairs];
    return t;
}

inline std::string makeArticle(Corpus& c, const Thesaurus& t, size_t bytes, bool punctuation) {
    const Zipf wordRank(t.originals.size());
    // Thesaurus words are used in a random order of popularity.
    std::vector<size_t> order(t.originals.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::shuffle(order.begin(), order.end(), c.rng);
    const std::string comma = cp::G("，"), stop = cp::G("。");
    std::string a;
    size_t sentences = 0;
    while (a.size() < bytes) {
        const size_t words = 4 + c.rng() % 12;
        for (size_t w = 0; w < words; ++w) {
            if (c.rng() % 3 == 0)
                a += t.originals[order[wordRank(c.rng)]];
            else
                a += c.word(1 + c.rng() % 3);
            if (punctuation && w + 1 < words && c.rng() % 5 == 0) a += comma;
        }
        if (punctuation) a += stop;
        if (++sentences % 8 == 0) a += "\r\n";
    }
    return a;
}

} // namespace bench
