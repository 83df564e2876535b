// Synonym replacement and shuffle speed on synthetic data.
//
// A 50,000-pair thesaurus of two- to four-character words and a 100 KB article
// are built from the 3,755 common characters of GBK, both with a Zipf-like
// character frequency so that common words occur often, as in real text. The
// thesaurus has chains (a new word that is the original of another pair) and
// new words that hold their original. The straightforward loop (one ReplaceAll
// pass per pair) is timed against the indexed replacer; the outputs must be
// byte-identical. The shuffle is timed on a larger article. Then the same
// with 1,000 protected words (target: at most 20% slower), and the marks of
// the replaced words in a 1 MB article (target: under 100 ms).
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

#include "bench_corpus.h"
#include "protocol/codepage.h"
#include "engine/shuffle.h"
#include "engine/synonyms.h"

namespace {

using namespace bench;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The best of `runs` timings of fn, in seconds.
template <class F> double best(int runs, F&& fn) {
    double fastest = 1e9;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        fn();
        fastest = std::min(fastest, secondsSince(start));
    }
    return fastest;
}

// 1,000 protected words: half of them original words of the thesaurus (the
// more common ones, so that they block replacements), half other words.
StringList protectedWords(Corpus& c, const Thesaurus& t) {
    StringList words;
    const Zipf rank(t.originals.size());
    while (words.size() < 500)
        words.push_back(t.originals[rank(c.rng)]);
    while (words.size() < 1000)
        words.push_back(c.word(3 + c.rng() % 2));
    return words;
}

} // namespace

int main(int argc, char** argv) {
    const size_t pairs = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 50000;
    const size_t articleBytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 100 * 1024;
    Corpus corpus;
    const Thesaurus t = makeThesaurus(corpus, pairs);
    SynonymReplacer replacer;
    replacer.build(t.originals, t.replacements);
    std::vector<std::string> articles;

    auto compare = [&](const char* title, const std::string& article) {
        articles.push_back(article);
        auto start = Clock::now();
        const std::string expected = replaceSynonymsReference(article, t.originals, t.replacements);
        const double reference = secondsSince(start);

        start = Clock::now();
        SynonymReplacer fresh;
        fresh.build(t.originals, t.replacements);
        const double build = secondsSince(start);

        std::string got;
        const double fast = best(5, [&] { got = fresh.apply(article); });
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
    engine::MatchTexts matches;
    auto shuffle = [&](const char* title, const engine::ShuffleOptions& options) {
        size_t outBytes = 0;
        const double time =
            best(3, [&] { outBytes = engine::daluan(big, options, random, matches).size(); });
        std::printf("%s: %zu bytes in %.3f ms = %.1f MB/s (%zu delimiters, %zu bytes out)\n", title,
                    big.size(), time * 1e3, static_cast<double>(big.size()) / 1e6 / time,
                    matches.size(), outBytes);
        return time;
    };
    engine::ShuffleOptions options;
    shuffle("shuffle", options);
    options.keyword = cp::G("关键词");
    const double shuffleTime = shuffle("shuffle with keyword", options);

    // Protected words: the time to find their stretches and replace around
    // them, against the plain replacement (target: at most 20% more).
    StringList words = protectedWords(corpus, t);
    ProtectedWordFinder guard;
    guard.build(words);
    for (const std::string& article : articles) {
        const double plain = best(5, [&] { replacer.apply(article); });
        ReplaceTrace trace;
        size_t stretches = 0;
        const double kept = best(5, [&] {
            const auto keep = guard.find(article);
            stretches = keep.size();
            replacer.apply(article, keep, trace, false);
        });
        const bool fine = kept <= plain * 1.2;
        ok = ok && fine;
        std::printf("1,000 protected words, %zu-byte article: %.3f ms against %.3f ms = %+.0f%% "
                    "(%zu stretches, %zu replacements; target <= +20%%) %s\n",
                    article.size(), kept * 1e3, plain * 1e3, (kept / plain - 1) * 100, stretches,
                    trace.replacements, fine ? "ok" : "SLOW");
    }
    // The shuffle looks only for the words it could cut: none of these, and
    // ten more that hold a full stop.
    ProtectedWordFinder cuttable;
    for (int round = 0; round < 2; ++round) {
        cuttable.build(engine::wordsHoldingDelimiters(words));
        options.protect = cuttable.empty() ? nullptr : &cuttable;
        const double guarded =
            shuffle(round == 0 ? "shuffle with keyword, 1,000 protected words"
                               : "shuffle with keyword, 1,010 protected words, 10 holding a 。",
                    options);
        std::printf("  %+.0f%% against the shuffle without them\n",
                    (guarded / shuffleTime - 1) * 100);
        for (int k = 0; k < 10; ++k)
            words.push_back(corpus.word(2) + cp::G("。") + corpus.word(1));
    }

    // Marks: what marking the replaced words of a 1 MB article adds to its
    // replacement (target < 100 ms).
    const std::string mb = big.substr(0, 1 << 20);
    const double plain = best(3, [&] { replacer.apply(mb); });
    ReplaceTrace trace;
    size_t spans = 0;
    const double marked = best(3, [&] {
        replacer.apply(mb, {}, trace, true);
        spans = trace.markedSpans().size();
    });
    const double marking = std::max(0.0, marked - plain);
    ok = ok && marking < 0.1;
    std::printf("marks of a 1 MB article: %.3f ms more than the %.3f ms of its replacement "
                "(%zu marked words; target < 100 ms) %s\n",
                marking * 1e3, plain * 1e3, spans, marking < 0.1 ? "ok" : "SLOW");
    return ok ? 0 : 1;
}
