// The thesaurus check on a large thesaurus: 100,000 pairs (or the count given
// as the first argument) of the synthetic thesaurus of bench_rewrite, with its
// chains and new words that hold their original. Target: under 2 s.
//
// usage: bench_check [PAIRS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "bench_corpus.h"
#include "engine/thesaurus_check.h"

int main(int argc, char** argv) {
    const size_t pairs = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
    bench::Corpus corpus;
    const bench::Thesaurus t = bench::makeThesaurus(corpus, pairs);

    double best = 1e9;
    std::vector<engine::Finding> findings;
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        findings = engine::checkThesaurus(t.originals, t.replacements);
        best = std::min(
            best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::map<std::string_view, size_t> kinds;
    for (const auto& f : findings)
        ++kinds[engine::findingKindName(f.kind)];
    std::printf("check of %zu pairs: %.3f ms, %zu findings (", t.originals.size(), best * 1e3,
                findings.size());
    const char* separator = "";
    for (const auto& [kind, count] : kinds) {
        std::printf("%s%.*s %zu", separator, static_cast<int>(kind.size()), kind.data(), count);
        separator = ", ";
    }
    const bool ok = best < 2.0;
    std::printf("); target < 2000 ms %s\n", ok ? "ok" : "SLOW");
    return ok ? 0 : 1;
}
