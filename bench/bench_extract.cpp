// Article extraction and the markup-keeping rewrite on the gold pages of
// bench/pages (or a folder given as the first argument): quality of the
// extraction against the hand-made article of each page, and the speed of
// both.
//
// Quality is scored as the project scores originality: on Chinese
// characters, letters and digits only, the 4-character shingles of the
// extraction against those of the article text give precision, recall and
// F1 per page (a page without an article scores 1 when nothing is extracted).
// Targets: mean F1 >= 0.95 with at most 2 pages in 69 below 0.5; extraction
// at most 2 ms per 100 KB of page; keep at least 20 MB/s of HTML, also as
// the front ends run it (the pipeline with the starter thesaurus and the
// shuffle, each piece rewritten on its own).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "html/extract.h"
#include "html/keep.h"
#include "html/page_pipeline.h"
#include "protocol/codepage.h"
#include "thesaurus/tab_pairs.h"

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The Chinese characters, letters (lower case) and digits of a UTF-8 text.
std::u32string scored(const std::string& utf8) {
    std::u16string u16 = cp::utf8ToUtf16(utf8);
    std::u32string out;
    for (size_t i = 0; i < u16.size(); ++i) {
        char32_t c = u16[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < u16.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (u16[++i] - 0xDC00);
            out += c;
            continue;
        }
        if (c >= 'A' && c <= 'Z') c += 32;
        bool keep = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    (c >= 0x3400 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF);
        if (keep) out += c;
    }
    return out;
}

std::unordered_map<std::u32string, int> shingles(const std::u32string& s) {
    std::unordered_map<std::u32string, int> m;
    for (size_t i = 0; i + 4 <= s.size(); ++i)
        ++m[s.substr(i, 4)];
    if (s.size() > 0 && s.size() < 4) ++m[s];
    return m;
}

struct Score {
    double p = 1, r = 1, f = 1;
};

Score score(const std::string& extractedUtf8, const std::string& goldUtf8) {
    auto a = shingles(scored(extractedUtf8)), g = shingles(scored(goldUtf8));
    if (a.empty() && g.empty()) return {};
    if (a.empty() || g.empty()) return {0, 0, 0};
    size_t common = 0, na = 0, ng = 0;
    for (auto& [k, c] : a) {
        na += c;
        auto it = g.find(k);
        if (it != g.end()) common += std::min(c, it->second);
    }
    for (auto& [k, c] : g)
        ng += c;
    Score s;
    s.p = double(common) / double(na);
    s.r = double(common) / double(ng);
    s.f = common ? 2 * s.p * s.r / (s.p + s.r) : 0;
    return s;
}

// The fastest of `reps` runs: the machine's other work only ever adds time.
template <typename F> double secondsOf(F f, int reps) {
    double best = 1e9;
    for (int i = 0; i < reps; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        f();
        auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::path(WYC_SOURCE_DIR) / "bench" / "pages";
    bool verbose = argc > 2 && std::string(argv[2]) == "-v";
    std::vector<fs::path> pages;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().extension() == ".html") pages.push_back(e.path());
    std::sort(pages.begin(), pages.end());
    if (pages.empty()) {
        std::fprintf(stderr, "bench_extract: no pages in %s\n", dir.string().c_str());
        return 2;
    }
    double sumF = 0, extractSeconds = 0, keepSeconds = 0, pipelineSeconds = 0;
    // What the front ends run: keep with the starter thesaurus, the shuffle on.
    const tabpairs::Parsed pairs =
        tabpairs::parse(readFile(fs::path(WYC_SOURCE_DIR) / "data" / "synonyms.txt"));
    engine::RewriteSettings settings;
    settings.shuffle = true;
    settings.shuffleSettings.keyword = cp::G("关键词");
    const engine::Pipeline pipeline(
        settings, engine::Thesaurus::make(pairs.originals, pairs.replacements, {}));
    engine::RewriteState state(1);
    size_t below = 0, bytes = 0;
    const int reps = 20;
    // A rewrite that changes every piece, so that every piece is written back.
    html::TextRewriter rewrite = [](const std::string& gbk) { return gbk + "x"; };
    for (const fs::path& p : pages) {
        std::string page = readFile(p);
        fs::path goldPath = p;
        goldPath.replace_extension(".txt");
        std::string gold = readFile(goldPath);
        html::Article a = html::extractArticle(page);
        std::string got = cp::gbkToUtf8(a.text("\n"));
        Score s = score(got, gold);
        sumF += s.f;
        if (s.f < 0.5) ++below;
        std::printf("%-28s P %.3f  R %.3f  F1 %.3f%s%s\n", p.filename().string().c_str(), s.p, s.r,
                    s.f,
                    a.found() ? "" : "  (no article: ", a.found() ? "" : (a.reason + ")").c_str());
        if (verbose && s.f < 0.999) std::printf("----\n%s----\n", got.c_str());
        bytes += page.size();
        extractSeconds += secondsOf([&] { (void)html::extractArticle(page); }, reps);
        keepSeconds +=
            secondsOf([&] { (void)html::rewriteKeepingMarkup(page, {}, rewrite); }, reps);
        pipelineSeconds += secondsOf(
            [&] { (void)html::rewritePageWith(page, {}, {}, html::Mode::Keep, pipeline, state); },
            reps);
    }
    double meanF = sumF / double(pages.size());
    double msPer100k = extractSeconds * 1000 / (double(bytes) / 102400.0);
    double keepMBs = double(bytes) / keepSeconds / 1e6;
    double pipelineMBs = double(bytes) / pipelineSeconds / 1e6;
    std::printf("pages: %zu, %.1f KB in all; times are the fastest of %d runs of each page\n",
                pages.size(), double(bytes) / 1024, reps);
    std::printf("extraction F1: mean %.3f (target >= 0.95) %s; below 0.5: %zu (target: at most 2 "
                "in 69) %s\n",
                meanF, meanF >= 0.95 ? "PASS" : "FAIL", below,
                below * 69 <= 2 * pages.size() ? "PASS" : "FAIL");
    std::printf("extraction speed: %.3f ms per 100 KB (target <= 2 ms) %s\n", msPer100k,
                msPer100k <= 2 ? "PASS" : "FAIL");
    std::printf("keep speed: %.1f MB/s (target >= 20 MB/s) %s\n", keepMBs,
                keepMBs >= 20 ? "PASS" : "FAIL");
    std::printf("keep speed with the starter thesaurus (%zu pairs) and the shuffle: %.1f MB/s "
                "(target >= 20 MB/s) %s\n",
                pairs.originals.size(), pipelineMBs, pipelineMBs >= 20 ? "PASS" : "FAIL");
    return 0;
}
