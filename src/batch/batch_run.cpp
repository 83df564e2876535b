// "批量伪原创": a run over the download list (one fetch per line; the rest
// happens as the pages come back, see batch_answers.cpp) or over the .txt files
// of the source folder, rewritten one after the other with the window's events
// let through between them.
#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

#include "app/Unit1.h"
#include "batch/items.h"
#include "batch/originality_worker.h"
#include "batch/prefetch.h"
#include "batch/source_files.h"
#include "protocol/codepage.h"

using cp::G;

namespace {

bool isBlank(const std::string& line) {
    return line.find_first_not_of(" \t") == std::string::npos;
}

// Clears a flag when the run ends, however it ends.
struct RunningFlag {
    explicit RunningFlag(bool& flag) : m_flag(flag) { m_flag = true; }
    ~RunningFlag() { m_flag = false; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;
    bool& m_flag;
};

} // namespace

void TForm1::btn11Click() {
    if (!LoggedIn) {
        lbl19.setCaption(G("【提示信息】请先登录——意思意思！"));
        return;
    }
    if (m_batchRunning) {
        lbl19.setCaption(G("【提示信息】批量伪原创正在进行，请等它完成后再开始。"));
        m_batchRefusedAt = std::chrono::steady_clock::now();
        return;
    }
    RunningFlag running(m_batchRunning);
    if (bsknrdgrp2.itemIndex() == 1)
        downloadListRun();
    else
        localDirectoryRun();
}

void TForm1::downloadListRun() {
    // Markers of an earlier run over the same list are not part of the address.
    StringList lines = mmo2.lines();
    bool marked = false;
    for (std::string& line : lines) {
        std::string bare = batch::withoutMarkers(line);
        if (bare.size() != line.size()) {
            line = std::move(bare);
            marked = true;
        }
    }
    if (marked) mmo2.setLines(lines);

    // A blank line is no item, but keeps its place so later lines keep their index.
    int items = 0;
    for (const std::string& line : lines)
        if (!isBlank(line)) ++items;
    BatchTotal = items;
    PostedCount = 0;
    batchOriginalityStart();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (isBlank(lines[i])) continue;
        // The status comes first: launching lets answers that are already in
        // run, and their texts (a finished fetch, a file that could not be
        // written) must not be hidden behind an older "正在抓取".
        lbl19.setCaption(G("【提示信息】正在抓取") + lines[i]);
        gotourl(lines[i], "getcontent", static_cast<std::int32_t>(i));
    }
}

void TForm1::localDirectoryRun() {
    mmo1.clear();
    // The run keeps the folder it listed; the edit may change while it runs.
    const std::string sourceDir = edt3.text();
    StringList lines = batch::listArticles(sourceDir);
    const std::vector<std::string> names = lines;
    mmo1.setLines(lines);
    if (names.empty()) {
        lbl19.setCaption(G("【提示信息】源目录内没有TXT文件."));
        return;
    }
    if (!ThesaurusLoaded) {
        lbl19.setCaption(G("【提示信息】请先初始化再进行替换！"));
        return;
    }
    PostedCount = 0;
    BatchTotal = static_cast<int>(names.size());
    batchOriginalityStart();
    bsSkinGauge1.setMax(BatchTotal);
    bsSkinGauge1.setValue(0);

    // The markers go to the list on the window now and then rather than after
    // every file: the list of a large folder is long.
    using Clock = std::chrono::steady_clock;
    auto shown = Clock::now();
    auto showMarkers = [&] {
        mmo1.setLines(lines);
        shown = Clock::now();
    };
    struct ShowAtEnd {
        std::function<void()> fn;
        ~ShowAtEnd() { fn(); }
    } atEnd{showMarkers};

    // Worker threads read the files ahead and replace their synonyms with the
    // step as it stands. Should the switch, the thesaurus or the protected
    // words change while the run lets events through, the reading ahead starts
    // again from the next file with the step of that moment, so every article
    // gets the rewrite of the moment it is done.
    std::vector<std::string> paths;
    for (const std::string& name : names)
        paths.push_back(batch::joinPath(sourceDir, name));
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 2u);
    std::optional<batch::Prefetch> prefetch;
    bool ahead = false;
    SynonymStep step;
    size_t listSizes = 0;
    auto checked = Clock::now();
    // Whether the step of the reading ahead still holds: cheap tests for every
    // file (a load marks the index stale and replaces the lists), the whole
    // lists now and then.
    auto stepHolds = [&] {
        if (!ahead) return true;
        if (Clock::now() - checked > std::chrono::milliseconds(100)) {
            checked = Clock::now();
            return synonymStep() == step;
        }
        return !m_synonymsDirty && m_synonyms == step.index &&
               OriginalWords.size() + NewWords.size() == listSizes &&
               protectedWordFinder() == step.guard;
    };
    auto readAheadFrom = [&](size_t first) {
        prefetch.reset();
        ahead = bschck4.checked();
        step = ahead ? synonymStep() : SynonymStep{};
        listSizes = OriginalWords.size() + NewWords.size();
        std::vector<std::string> rest(paths.begin() + static_cast<std::ptrdiff_t>(first),
                                      paths.end());
        prefetch.emplace(std::move(rest), ahead ? batch::Prefetch::Step(step) : nullptr, threads);
        return first;
    };
    size_t base = readAheadFrom(0);
    batch::OriginalityWorker originality;

    for (size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        const int index = static_cast<int>(i);
        if (Clock::now() - m_batchRefusedAt > std::chrono::seconds(2))
            lbl19.setCaption(G("【提示信息】正在伪原创 ") + name);
        if (ahead != bschck4.checked() || !stepHolds()) base = readAheadFrom(i);
        batch::Prefetch::Article article = prefetch->take(i - base);
        std::string rewritten = article.after ? std::move(*article.after) : article.text;
        if (bschck1.checked()) rewritten = daluan(rewritten);
        if (rewritten.empty()) {
            lines[i] += batch::emptyMarker();
        } else {
            const std::string result = batch::resultText(rewritten);
            originality.add(std::move(article.text), std::move(rewritten));
            if (bsknrdgrp3.itemIndex() == 0) {
                batch::writeArticle(batch::joinPath(edt4.text(), name), result,
                                    article.encoding);
                lines[i] += batch::doneMarker();
            } else {
                const std::string id = batch::itemId(bsknrdgrp1.itemIndex(), name, index);
                lines[i] += batch::doneMarker();
                gotourlPost(edt8.text(), "PostSend", batch::postBody(id, result), index);
            }
        }
        // A thesaurus load run meanwhile shows its own progress on the gauge.
        if (bsSkinGauge1.max() != static_cast<int>(names.size()))
            bsSkinGauge1.setMax(static_cast<int>(names.size()));
        bsSkinGauge1.setValue(index + 1);
        if (Clock::now() - shown > std::chrono::milliseconds(200)) showMarkers();
        m_platform.processEvents();
    }
    m_batchOriginality = originality.finish();
    batchOriginalityShow();
    lbl19.setCaption(G("【提示信息】完毕！"));
}
