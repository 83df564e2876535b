// Download-list batch runs against the companion server: 1,000 addresses of
// its sample articles, fetched, rewritten (50,000 in-use pairs) and written to
// files, then the same list fetched and posted back to its test submission
// page. The server runs in this process on a free loopback port.
//
// Targets: to files within 10 s with never more than 16 transfers at once
// (sampled as the server's established connections, every millisecond); to
// POST within 15 s with every submission counted.
//
// usage: bench_batch_server [LINES]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>

#include "app/Unit1.h"
#include "bench_corpus.h"
#include "bench_platform.h"
#include "protocol/codepage.h"
#include "server/storage.h"
#include "server/vendor_server.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// The GUI thread of the window model: completions queue up until it runs them.
class QueuePlatform : public BenchPlatform {
  public:
    void processEvents() override {
        for (;;) {
            std::function<void()> fn;
            {
                std::lock_guard lock(m_mutex);
                if (m_queue.empty()) return;
                fn = std::move(m_queue.front());
                m_queue.pop_front();
            }
            fn();
        }
    }
    void postToGui(std::function<void()> fn) override {
        {
            std::lock_guard lock(m_mutex);
            m_queue.push_back(std::move(fn));
        }
        m_ready.notify_one();
    }
    bool waitUntil(const std::function<bool()>& done, double seconds) {
        const auto end = Clock::now() + std::chrono::duration<double>(seconds * 3);
        while (!done()) {
            if (Clock::now() > end) return false;
            {
                std::unique_lock lock(m_mutex);
                m_ready.wait_for(lock, std::chrono::milliseconds(50),
                                 [this] { return !m_queue.empty(); });
            }
            processEvents();
        }
        return true;
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<std::function<void()>> m_queue;
};

// Established TCP connections whose local port is `port` (the server's ends).
int serverConnections(int port) {
    int n = 0;
    for (const char* table : {"/proc/self/net/tcp", "/proc/self/net/tcp6"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            // "  0: 0100007F:1F90 0100007F:C350 01 ..."
            const auto colon = line.find(':', line.find(':') + 1);
            if (colon == std::string::npos) continue;
            const int local = static_cast<int>(std::strtol(line.c_str() + colon + 1, nullptr, 16));
            const auto state = line.find(' ', line.find(' ', colon) + 1);
            if (local == port && line.compare(state + 1, 2, "01") == 0) ++n;
        }
    }
    return n;
}

bool report(const char* what, double value, double limit, const char* unit) {
    const bool ok = value <= limit;
    std::printf("%-38s %8.2f %-4s (target <= %.0f) %s\n", what, value, unit, limit,
                ok ? "ok" : "MISSED");
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    const int lines = argc > 1 ? std::atoi(argv[1]) : 1000;
    const fs::path root =
        fs::temp_directory_path() / ("bench_batch_server." + std::to_string(getpid()));
    fs::create_directories(root / "out");

    ServerOptions options;
    options.port = 0;
    options.dataFile = (root / "server.db").string();
    options.starterPairs = false;
    wycserver::VendorServer server(options);
    const int port = server.start();
    const std::string base = "http://127.0.0.1:" + std::to_string(port);

    bench::Corpus corpus;
    const bench::Thesaurus t = bench::makeThesaurus(corpus, 50000);
    QueuePlatform platform;
    TForm1 form(platform, FormOptions{root.string() + "/", 1});
    form.OriginalWords = t.originals;
    form.NewWords = t.replacements;
    form.ThesaurusLoaded = true;
    form.LoggedIn = true;
    form.edt4.setText((root / "out").string());
    form.edt8.setText(base + "/post_test.asp");
    form.bsknrdgrp2.setItemIndex(1);
    form.bsknrdgrp1.setItemIndex(0);
    std::string list;
    for (int i = 1; i <= lines; ++i)
        list += base + "/get_test.asp?id=" + std::to_string(i) + "\r\n";

    std::atomic<bool> sampling{true};
    std::atomic<int> peak{0};
    std::thread sampler([&] {
        while (sampling) {
            peak = std::max(peak.load(), serverConnections(port));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });

    bool ok = true;
    for (int target : {0, 1}) {
        form.mmo2.setText(list);
        form.bsknrdgrp3.setItemIndex(target);
        peak = 0;
        const auto start = Clock::now();
        form.run([&] { form.btn11Click(); });
        const double limit = target == 0 ? 10 : 15;
        const bool finished = platform.waitUntil(
            [&] { return form.Requests.empty() && (target == 0 || form.PostedCount >= lines); },
            limit);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        int marked = 0;
        for (const std::string& line : form.mmo2.lines())
            marked += line.ends_with(cp::G("[完毕]"));
        if (target == 0) {
            const long files = std::distance(fs::directory_iterator(root / "out"), {});
            std::printf("to files: %d of %d lines marked, %ld files, %s\n", marked, lines, files,
                        finished ? "finished" : "NOT FINISHED");
            ok &= finished && files == lines && marked == lines;
            ok &= report("to files: seconds", seconds, 10, "s");
            ok &= report("to files: peak connections at the server", peak, 16, "");
        } else {
            const size_t stored = server.storage().latestPosts(lines + 10).size();
            std::printf("to POST: %d of %d lines marked, %d posts counted, %zu stored, %s (%s)\n",
                        marked, lines, form.PostedCount, stored,
                        finished ? "finished" : "NOT FINISHED",
                        cp::gbkToUtf8(form.lbl19.caption()).c_str());
            ok &= finished && form.PostedCount == lines && marked == lines;
            ok &= report("to POST: seconds", seconds, 15, "s");
            report("to POST: peak connections at the server", peak, 32, "");
        }
    }
    sampling = false;
    sampler.join();
    server.stop();
    fs::remove_all(root);
    // A run that showed an error box failed, even with every line marked.
    if (platform.errors > 0) std::printf("%d error boxes shown\n", platform.errors);
    return ok && platform.errors == 0 ? 0 : 1;
}
