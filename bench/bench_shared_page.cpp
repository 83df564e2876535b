// The page " 词库下载 ": how long the window model takes to handle a page answer
// of 20 rows (decipher, split, refill lv2, labels), and how long "全部加入词库"
// over such a page keeps the window from its events. Target: a page answer in
// under 5 ms.
//   bench_shared_page [ROUNDS]   (default 2000)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/Unit1.h"
#include "bench_platform.h"
#include "net/HTTPGet.h"
#include "protocol/cipher_gbk.h"
#include "support/fixtures.h"
#include "thesaurus/keyword_store.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// A page as the server sends it: 20 rows of words of two to six characters.
std::string pageAnswer() {
    const char* words[] = {"美丽", "漂亮的风景", "迅速", "快速地完成", "重要问题", "关键所在"};
    std::string plain;
    for (int i = 0; i < 20; ++i)
        plain += std::to_string(123400 + i) + "[@m@]" + words[i % 6] + std::to_string(i) + "[@m@]" +
                 words[(i + 1) % 6] + "[@m@]10001[@br@]";
    plain += "3[@br@]57";
    return cipher::encryptGbk(cp::utf8ToGbk(plain));
}

// Records the longest stretch between two event passes.
class GapPlatform : public BenchPlatform {
  public:
    void processEvents() override {
        const auto now = Clock::now();
        longestMs =
            std::max(longestMs, std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
        BenchPlatform::processEvents();
    }
    Clock::time_point last = Clock::now();
    double longestMs = 0;
};

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    TempDir dir;
    // The points requests are launched, and no completion arrives during the
    // measurement.
    SilentVendor vendor;

    GapPlatform platform;
    {
        TForm1 form(platform, FormOptions{dir.dirText(), 1});
        form.Database = KeywordStore::create((dir.path() / "setting.dat").string());
        form.UserId = "10001";
        Tmyhttpget request(platform);
        request.FRequestKind = "loadtyc";
        const std::string answer = pageAnswer();

        std::vector<double> times;
        times.reserve(static_cast<size_t>(rounds));
        for (int i = 0; i < rounds; ++i) {
            const auto t0 = Clock::now();
            form.getstr(&request, answer);
            times.push_back(msSince(t0));
        }
        std::sort(times.begin(), times.end());
        std::printf("page answer of %d rows (%zu bytes): median %.3f ms, 99th percentile %.3f ms, "
                    "max %.3f ms over %d rounds (target: under 5 ms)\n",
                    form.lv2.count(), answer.size(), times[times.size() / 2],
                    times[times.size() * 99 / 100], times.back(), rounds);

        platform.longestMs = 0;
        platform.last = Clock::now();
        const auto t0 = Clock::now();
        form.N5Click();
        const double total = msSince(t0);
        std::printf("全部加入词库 over 20 rows: %.1f ms in all, %zu requests launched, longest "
                    "stretch without an event pass %.1f ms\n",
                    total, form.Requests.size(), platform.longestMs);
    }
    return 0;
}
