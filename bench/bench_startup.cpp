// Start-up with a big thesaurus: builds a setting.dat of 100,000 pairs (or the
// count given as the first argument), then times the window model's start-up
// sequence (settings file, database, full load into the lists and the list
// view) and reports the peak memory of the process. The real window adds its
// drawing on top; `wyc --startup-benchmark` reports that end to end.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/Unit1.h"
#include "bench_memory.h"
#include "bench_platform.h"
#include "protocol/codepage.h"
#include "thesaurus/keyword_store.h"

int main(int argc, char** argv) {
    const int pairs = argc > 1 ? std::atoi(argv[1]) : 100000;
    auto dir = std::filesystem::temp_directory_path() /
               ("wyc-bench-startup-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    {
        auto store = KeywordStore::create("setting.dat");
        Transaction tx(store->db());
        const std::string a = cp::G("词语"), b = cp::G("替换");
        for (int i = 0; i < pairs; ++i)
            store->append(a + std::to_string(i), b + std::to_string(i), i % 7 != 0);
        tx.commit();
    }
    BenchPlatform platform;
    auto t0 = std::chrono::steady_clock::now();
    {
        TForm1 form(platform, FormOptions{dir.string() + "/", 1});
        form.FormCreate();
        auto t1 = std::chrono::steady_clock::now();
        double ms = std::chrono::duration<double, std::milli>(t1 - t0).count();
        std::printf("pairs: %d, rows: %d, in use: %zu\n", pairs, form.listview1.count(),
                    form.OriginalWords.size());
        std::printf("start-up sequence: %.1f ms (target: whole window under 2000 ms)\n", ms);
        std::printf("peak memory: %.1f MB (target: under 300 MB)\n", peakKb() / 1024.0);
    }
    // End to end: the real window (offscreen) started in the same folder, timed
    // until its event loop runs with the list filled.
    const char* buildDir = std::getenv("WYC_BUILD_DIR");
    std::filesystem::path wyc = std::filesystem::path(buildDir ? buildDir : "build") / "src/ui/wyc";
    if (!buildDir)
        wyc =
            std::filesystem::canonical("/proc/self/exe").parent_path().parent_path() / "src/ui/wyc";
    if (std::filesystem::exists(wyc)) {
        std::fflush(stdout);
        auto w0 = std::chrono::steady_clock::now();
        pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            if (std::FILE* devnull = std::fopen("/dev/null", "w")) ::dup2(::fileno(devnull), 2);
            ::execl(wyc.c_str(), wyc.c_str(), "--server", "http://127.0.0.1:9", "--quit-when-ready",
                    static_cast<char*>(nullptr));
            std::_Exit(127);
        }
        int status = 0;
        struct rusage ru {};
        ::wait4(pid, &status, 0, &ru);
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - w0)
                        .count();
        std::printf("real window (offscreen), start to running event loop: %.1f ms, exit status %d "
                    "(target: under 2000 ms)\n",
                    ms, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        std::printf("real window peak memory: %.1f MB (target: under 300 MB; the web views' helper "
                    "processes are separate)\n",
                    ru.ru_maxrss / 1024.0);
    } else {
        std::printf("real window not built (%s); only the model was timed\n", wyc.c_str());
    }
    std::filesystem::current_path("/");
    std::filesystem::remove_all(dir);
    return 0;
}
