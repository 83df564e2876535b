// Local-folder batch run speed: 10,000 articles of 5 KB in a folder, a
// thesaurus of 50,000 in-use pairs, the shuffle on, results written to a second
// folder. Timed end to end (listing, reading, rewriting, writing, the list of
// the window) for the window model and for `wyc-cli batch`.
//
// Targets: at least 10 MB/s both ways, peak memory under 300 MB, and the
// window's event loop never kept waiting longer than 100 ms (the longest time
// between two chances for the window to handle its events, from the press of
// the button to the end of the run).
//
// The machine may be shared: the throughput per CPU second is printed beside
// the wall-clock one. The folders are made under TMPDIR (default /tmp).
//
// usage: bench_batch_local [FILES [PAIRS]]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "app/Unit1.h"
#include "batch/items.h"
#include "bench_corpus.h"
#include "bench_memory.h"
#include "bench_platform.h"
#include "engine/originality.h"
#include "protocol/codepage.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// CPU time of this process so far (user and system), in seconds.
double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Measures how long the window's events wait: the longest time between two
// calls of processEvents.
class TimingPlatform : public BenchPlatform {
  public:
    void processEvents() override {
        const auto now = Clock::now();
        longest = std::max(longest, now - last);
        last = now;
        BenchPlatform::processEvents();
    }
    void start() {
        last = Clock::now();
        longest = {};
    }
    Clock::time_point last;
    Clock::duration longest{};
};

bool report(const char* what, double value, double limit, const char* unit, bool atLeast) {
    const bool ok = atLeast ? value >= limit : value <= limit;
    std::printf("%-34s %10.1f %-5s (target %s %.0f) %s\n", what, value, unit,
                atLeast ? ">=" : "<=", limit, ok ? "ok" : "MISSED");
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    const int files = argc > 1 ? std::atoi(argv[1]) : 10000;
    const size_t pairs = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 50000;
    const fs::path root =
        fs::temp_directory_path() / ("bench_batch_local." + std::to_string(getpid()));
    fs::create_directories(root / "in");
    fs::create_directories(root / "out");
    fs::create_directories(root / "cli");

    std::printf("preparing %d articles of 5 KB and %zu pairs in %s\n", files, pairs, root.c_str());
    bench::Corpus corpus;
    const bench::Thesaurus t = bench::makeThesaurus(corpus, pairs);
    // 500 different articles, each written to several files.
    std::vector<std::string> articles;
    for (int i = 0; i < 500; ++i)
        articles.push_back(bench::makeArticle(corpus, t, 5 * 1024, true));
    double megabytes = 0;
    for (int i = 0; i < files; ++i) {
        const std::string& a = articles[static_cast<size_t>(i) % articles.size()];
        char name[32];
        std::snprintf(name, sizeof name, "article%05d.txt", i);
        std::ofstream(root / "in" / name, std::ios::binary) << a;
        megabytes += static_cast<double>(a.size()) / 1e6;
    }
    {
        std::ofstream list(root / "pairs.txt", std::ios::binary);
        for (size_t i = 0; i < t.originals.size(); ++i)
            list << cp::gbkToUtf8(t.originals[i]) << '\t' << cp::gbkToUtf8(t.replacements[i])
                 << '\n';
    }

    bool ok = true;
    {
        TimingPlatform platform;
        TForm1 form(platform, FormOptions{root.string() + "/", 1});
        form.OriginalWords = t.originals;
        form.NewWords = t.replacements;
        form.ThesaurusLoaded = true;
        form.LoggedIn = true;
        form.bschck1.setChecked(true);
        form.edt3.setText((root / "in").string());
        form.edt4.setText((root / "out").string());
        // Where the time of one article goes, over the distinct articles.
        auto step = [&](const char* what, auto&& fn) {
            const double cpu0 = cpuSeconds();
            for (const std::string& a : articles)
                fn(a);
            std::printf("  %-28s %7.3f ms per article (CPU)\n", what,
                        (cpuSeconds() - cpu0) * 1000 / static_cast<double>(articles.size()));
        };
        form.TongYiCi(articles[0]); // builds the index once
        step("synonyms", [&](const std::string& a) { form.TongYiCi(a); });
        const engine::Pipeline fixed = form.pipelineNow();
        step("  of which the index lookup", [&](const std::string&) { form.thesaurusNow(); });
        step("  on a worker", [&](const std::string& a) { fixed.replace(a); });
        step("shuffle", [&](const std::string& a) { form.daluan(a); });
        step("originality", [&](const std::string& a) { engine::originality(a, a); });
        step("result text", [&](const std::string& a) { batch::resultText(a); });

        const auto start = Clock::now();
        const double cpuStart = cpuSeconds();
        platform.start();
        form.run([&] { form.btn11Click(); });
        platform.processEvents(); // the end of the run
        const double seconds = secondsSince(start);
        const double cpu = cpuSeconds() - cpuStart;
        const long written = std::distance(fs::directory_iterator(root / "out"), {});
        std::printf("window model: %ld files written in %.2f s, %.2f s of CPU (%s)\n", written,
                    seconds, cpu, cp::gbkToUtf8(form.lbl19.caption()).c_str());
        std::printf("  %.1f MB per CPU second: about %.1f MB/s with both cores free\n",
                    megabytes / cpu, 2 * megabytes / cpu);
        // An error box fails the run, even with every file written.
        if (platform.errors > 0) std::printf("%d error boxes shown\n", platform.errors);
        ok &= written == files && platform.errors == 0;
        ok &= report("window model throughput", megabytes / seconds, 10, "MB/s", true);
        ok &= report("window model longest event wait",
                     std::chrono::duration<double, std::milli>(platform.longest).count(), 100, "ms",
                     false);
        ok &= report("window model peak memory (process)", static_cast<double>(peakKb()) / 1024,
                     300, "MB", false);
    }

    // wyc-cli batch, as a child process with its own peak memory.
    const fs::path self = fs::read_symlink("/proc/self/exe");
    const fs::path cli = self.parent_path().parent_path() / "src" / "cli" / "wyc-cli";
    const std::string init = "'" + cli.string() + "' init-db --force '" +
                             (root / "pairs.txt").string() + "' '" +
                             (root / "setting.dat").string() + "' >/dev/null";
    if (std::system(init.c_str()) != 0) {
        std::printf("cannot make the database with %s\n", cli.c_str());
        return 1;
    }
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string db = (root / "setting.dat").string();
        const std::string in = (root / "in").string();
        const std::string out = (root / "cli").string();
        execl(cli.c_str(), "wyc-cli", "batch", "--db", db.c_str(), "--shuffle", "--seed", "1",
              "--source-dir", in.c_str(), "--target-dir", out.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double seconds = secondsSince(start);
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    const long written = std::distance(fs::directory_iterator(root / "cli"), {});
    std::printf("wyc-cli batch: exit %d, %ld files written in %.2f s, %.2f s of CPU (database "
                "load included)\n",
                WIFEXITED(status) ? WEXITSTATUS(status) : -1, written, seconds, cpu);
    std::printf("  %.1f MB per CPU second: about %.1f MB/s with both cores free\n", megabytes / cpu,
                2 * megabytes / cpu);
    ok &= written == files && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    ok &= report("wyc-cli batch throughput", megabytes / seconds, 10, "MB/s", true);
    ok &= report("wyc-cli batch peak memory", static_cast<double>(usage.ru_maxrss) / 1024, 300,
                 "MB", false);

    fs::remove_all(root);
    return ok ? 0 : 1;
}
