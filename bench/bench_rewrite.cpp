// Synonym replacement and shuffle speed on synthetic data.
//
// A 50,000-pair thesaurus of two- to four-character words and a 100 KB article
// are built from the 3,755 common characters of GBK, both with a Zipf-like
// character frequency so that common words occur often, as in real text. The
// thesaurus has chains (a new word that is the original of another pair) and
// new words that hold their original. The straightforward loop (one ReplaceAll
// pass per pair) is timed against the indexed replacer; the outputs must be
// byte-identical. The shuffle is timed on a larger article.
//
// usage: bench_rewrite [PAIRS [ARTICLE_BYTES]]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "engine/codepage.h"
#include "engine/shuffle.h"
#include "engine/synonyms.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

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

Thesaurus makeThesaurus(Corpus& c, size_t pairs) {
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

std::string makeArticle(Corpus& c, const Thesaurus& t, size_t bytes, bool punctuation) {
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

} // namespace

int main(int argc, char** argv) {
    const size_t pairs = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 50000;
    const size_t articleBytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 100 * 1024;
    Corpus corpus;
    const Thesaurus t = makeThesaurus(corpus, pairs);

    auto compare = [&](const char* title, const std::string& article) {
        auto start = Clock::now();
        const std::string expected = replaceSynonymsReference(article, t.originals, t.replacements);
        const double reference = secondsSince(start);

        start = Clock::now();
        SynonymReplacer replacer;
        replacer.build(t.originals, t.replacements);
        const double build = secondsSince(start);

        std::string got;
        double fast = 1e9;
        for (int run = 0; run < 5; ++run) {
            start = Clock::now();
            got = replacer.apply(article);
            fast = std::min(fast, secondsSince(start));
        }
        std::printf("%s: %zu pairs, %zu-byte article\n", title, t.originals.size(), article.size());
        std::printf("  reference loop     %10.3f ms\n", reference * 1e3);
        std::printf("  fast (index built) %10.3f ms\n", fast * 1e3);
        std::printf("  ratio              %10.1f x\n", reference / fast);
        std::printf("  index build        %10.3f ms (once per thesaurus load; ratio with it "
                    "%.1f x)\n",
                    build * 1e3, reference / (fast + build));
        std::printf("  identical output   %s\n", got == expected ? "yes" : "NO");
        return got == expected;
    };

    bool ok = compare("synonyms", makeArticle(corpus, t, articleBytes, true));
    // Without punctuation nothing splits the article into independent pieces.
    ok = compare("synonyms, article without punctuation",
                 makeArticle(corpus, t, articleBytes, false)) &&
         ok;

    // Shuffle: a 4 MB article, default options and with a keyword.
    const std::string big = makeArticle(corpus, t, 4 * 1024 * 1024, true);
    std::mt19937_64 random(1);
    StringList matches;
    for (int withKeyword = 0; withKeyword < 2; ++withKeyword) {
        engine::ShuffleOptions options;
        if (withKeyword) options.keyword = cp::G("关键词");
        double best = 1e9;
        size_t outBytes = 0;
        for (int run = 0; run < 3; ++run) {
            const auto start = Clock::now();
            outBytes = engine::daluan(big, options, random, matches).size();
            best = std::min(best, secondsSince(start));
        }
        std::printf("shuffle%s: %zu bytes in %.3f ms = %.1f MB/s (%zu delimiters, %zu bytes out)\n",
                    withKeyword ? " with keyword" : "", big.size(), best * 1e3,
                    static_cast<double>(big.size()) / 1e6 / best, matches.size(), outBytes);
    }
    return ok ? 0 : 1;
}
