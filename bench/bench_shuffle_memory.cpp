// Peak memory of the shuffle on texts made only of delimiters, the worst case
// for its per-delimiter bookkeeping (target: a 10 MB text under 300 MB).
//
// Each case runs in a child process of its own, so that its peak resident
// size (from wait4) is not the peak of an earlier case. The output's length
// and FNV-1a hash, for a fixed seed, show that a change of representation left
// every result byte as it was.
//
// usage: bench_shuffle_memory [MEGABYTES]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "protocol/codepage.h"
#include "engine/shuffle.h"

namespace {

struct Case {
    const char* title;
    bool fullWidthOnly; // "，" only, else a random mix of all nine delimiters
    bool asciiOnly;     // "," only
    bool keyword;       // keyword insertion and stripped line breaks
};

std::string delimiterText(const Case& c, size_t bytes) {
    const StringList all = {",",         ":",         ".",         "!",        ";",
                            cp::G("，"), cp::G("。"), cp::G("！"), cp::G("；")};
    std::mt19937_64 rng(7);
    std::string text;
    text.reserve(bytes + 2);
    while (text.size() < bytes) {
        if (c.asciiOnly)
            text += ',';
        else if (c.fullWidthOnly)
            text += all[5];
        else
            text += all[rng() % all.size()];
    }
    return text;
}

std::uint64_t fnv1a(const std::string& s) {
    std::uint64_t h = 14695981039346656037ull;
    for (const char ch : s) {
        h ^= static_cast<unsigned char>(ch);
        h *= 1099511628211ull;
    }
    return h;
}

long peakKilobytes() {
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

// Runs one case in this process and prints its figures.
void runCase(const Case& c, size_t bytes) {
    const std::string text = delimiterText(c, bytes);
    const long before = peakKilobytes();
    engine::ShuffleOptions options;
    if (c.keyword) {
        options.keyword = cp::G("关键词");
        options.stripBreaks = true;
    }
    std::mt19937_64 random(1);
    engine::MatchTexts matches;
    const auto start = std::chrono::steady_clock::now();
    const std::string out = engine::daluan(text, options, random, matches);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-34s %6.1f MB in, %zu delimiters, %.2f s, before %.0f MB, "
                "out %zu bytes hash %016llx\n",
                c.title, static_cast<double>(text.size()) / 1e6, matches.size(), seconds,
                static_cast<double>(before) / 1024.0, out.size(),
                static_cast<unsigned long long>(fnv1a(out)));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    const double megabytes = argc > 1 ? std::atof(argv[1]) : 10.0;
    const auto bytes = static_cast<size_t>(megabytes * 1024 * 1024);
    const Case cases[] = {
        {"ASCII commas", false, true, false},
        {"full-width commas", true, false, false},
        {"all nine delimiters, with keyword", false, false, true},
    };
    bool ok = true;
    for (const Case& c : cases) {
        std::fflush(stdout); // or the child prints the parent's buffer again
        const pid_t child = fork();
        if (child == 0) {
            runCase(c, bytes);
            std::_Exit(0);
        }
        int status = 0;
        struct rusage ru {};
        if (child < 0 || wait4(child, &status, 0, &ru) != child || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            std::printf("  case failed\n");
            ok = false;
            continue;
        }
        const double peak = static_cast<double>(ru.ru_maxrss) / 1024.0;
        std::printf("  peak %.0f MB (target under 300 MB for 10 MB)\n", peak);
        ok = ok && (megabytes > 10.0 || peak < 300.0);
    }
    return ok ? 0 : 1;
}
