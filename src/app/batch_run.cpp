// "批量伪原创": the batch job run from the batch page's settings, and its
// "停止" and "重试失败项". A list run launches one fetch per line and the rest
// happens as the pages come back (see batch_answers.cpp); a folder run rewrites
// the .txt files of the source folder one after the other, with the window's
// events let through between them. The job's events become the page's status,
// markers, gauge, failure list and average.
#include <chrono>
#include <set>
#include <unordered_map>

#include "app/Unit1.h"
#include "app/batch_lines.h"
#include "batch/items.h"
#include "batch/source_files.h"
#include "engine/files.h"
#include "net/requests.h"
#include "protocol/codepage.h"

using cp::G;

namespace {

using Clock = std::chrono::steady_clock;

// Clears a flag when the run ends, however it ends.
struct RunningFlag {
    explicit RunningFlag(bool& flag) : m_flag(flag) { m_flag = true; }
    ~RunningFlag() { m_flag = false; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;
    bool& m_flag;
};

} // namespace

bool TForm1::batchRefused() {
    if (!LoggedIn) {
        lbl19.setCaption(G("【提示信息】请先登录——意思意思！"));
        return true;
    }
    if (m_batchRunning || (m_batchJob && m_batchJob->running())) {
        lbl19.setCaption(G("【提示信息】批量伪原创正在进行，请等它完成后再开始。"));
        m_batchRefusedAt = Clock::now();
        return true;
    }
    return false;
}

void TForm1::btn11Click() {
    if (batchRefused()) return;
    RunningFlag running(m_batchRunning);
    if (bsknrdgrp2.itemIndex() == 1)
        downloadListRun({});
    else
        localDirectoryRun({});
}

void TForm1::btn19Click() {
    if (batchRefused()) return;
    RunningFlag running(m_batchRunning);
    // The lines a run left without a marker are the ones to do again.
    auto unmarked = [](const StringList& lines) {
        std::set<int> left;
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].find_first_not_of(" \t") != std::string::npos &&
                batch::withoutMarkers(lines[i]).size() == lines[i].size())
                left.insert(static_cast<int>(i));
        return left;
    };
    if (bsknrdgrp2.itemIndex() == 1) {
        const std::set<int> left = unmarked(mmo2.lines());
        if (left.empty()) {
            lbl19.setCaption(G("【提示信息】没有需要重试的项目。"));
            return;
        }
        downloadListRun([left](const batch::Item& item) { return left.count(item.index) > 0; });
    } else {
        const StringList lines = mmo1.lines();
        std::set<std::string> names;
        for (int i : unmarked(lines))
            names.insert(lines[static_cast<size_t>(i)]);
        if (names.empty()) {
            lbl19.setCaption(G("【提示信息】没有需要重试的项目。"));
            return;
        }
        localDirectoryRun([names](const batch::Item& item) { return names.count(item.name) > 0; });
    }
}

void TForm1::btn18Click() {
    if (!m_batchJob || !m_batchJob->running()) {
        lbl19.setCaption(G("【提示信息】没有正在进行的批量伪原创。"));
        return;
    }
    // Fetches not yet answered are dropped with their requests; posts already
    // sent are left to finish, so what reached the server is counted.
    const std::string fetch = net::nameOf(net::RequestKind::GetContent);
    Requests.remove_if(
        [&](const std::unique_ptr<Tmyhttpget>& r) { return r->FRequestKind == fetch; });
    lbl19.setCaption(G("【提示信息】正在停止..."));
    m_batchJob->stop();
}

batch::JobSettings TForm1::batchSettings() const {
    batch::JobSettings s;
    s.source = bsknrdgrp2.itemIndex() == 1 ? batch::Source::List : batch::Source::Folder;
    s.sourceDir = edt3.text();
    if (s.source == batch::Source::List) s.lines = mmo2.lines();
    s.target = bsknrdgrp3.itemIndex() == 0 ? batch::Target::Folder : batch::Target::Post;
    s.targetDir = edt4.text();
    s.postUrl = edt8.text();
    s.idMode = static_cast<batch::IdMode>(bsknrdgrp1.itemIndex());
    s.html = htmlMode(cbb2);
    return s;
}

std::shared_ptr<batch::Job> TForm1::makeBatchJob(batch::JobSettings settings) {
    batch::JobHooks hooks;
    hooks.pipeline = [this] { return pipelineNow(); };
    hooks.state = &m_rewriteState;
    hooks.fetch = [this](const batch::Item& item, const std::string& url) {
        gotourl(url, net::nameOf(net::RequestKind::GetContent), item.index);
    };
    hooks.post = [this](const batch::Item& item, const std::string& url, const std::string& body) {
        gotourlPost(url, net::nameOf(net::RequestKind::PostSend), body, item.index);
    };
    // The line as it stands now names a list item; a line the user removed
    // meanwhile is named by the address it was fetched from.
    hooks.nameNow = [this](const batch::Item& item) {
        std::string line;
        return batch::lineOf(mmo2, item.index, line) ? line : item.name;
    };
    const bool list = settings.source == batch::Source::List;
    return std::make_shared<batch::Job>(
        std::move(settings), std::move(hooks),
        [this, list](const batch::Event& e) { list ? listRunEvent(e) : folderRunEvent(e); });
}

bool TForm1::makeTargetFolder() {
    if (bsknrdgrp3.itemIndex() != 0) return true;
    const std::string dir = edt4.text();
    try {
        makeDirectories(dir);
    } catch (const std::exception& e) {
        lbl19.setCaption(G("【提示信息】无法创建目标目录 ") + dir + G("：") + e.what());
        return false;
    }
    return true;
}

void TForm1::startBatchRun() {
    lv5.clear();
    lv5.setVisible(false);
    PostedCount = 0;
    batchOriginalityStart();
}

void TForm1::downloadListRun(std::function<bool(const batch::Item&)> include) {
    batch::JobSettings settings = batchSettings();
    settings.include = std::move(include);
    auto job = makeBatchJob(std::move(settings));
    if (!job->prepare()) {
        lbl19.setCaption(G("【提示信息】下载列表里没有网址。"));
        return;
    }
    if (!makeTargetFolder()) return;
    // Markers of an earlier run over the same list are not part of the
    // address; a retry keeps the markers of the lines already done.
    if (!job->settings().include && job->bareLines() != mmo2.lines())
        mmo2.setLines(job->bareLines());
    m_batchJob = job;
    BatchTotal = static_cast<int>(job->items().size());
    startBatchRun();
    // The job holds itself while it launches: a completion run meanwhile may
    // stop the run.
    job->start();
}

void TForm1::localDirectoryRun(std::function<bool(const batch::Item&)> include) {
    // The run keeps the folder it listed; the edit may change while it runs.
    const std::string sourceDir = edt3.text();
    if (!isDirectory(sourceDir)) {
        lbl19.setCaption(G("【提示信息】源目录不存在：") + sourceDir);
        return;
    }
    const bool retry = static_cast<bool>(include);
    batch::JobSettings settings = batchSettings();
    settings.include = std::move(include);
    auto job = makeBatchJob(std::move(settings));
    const bool any = job->prepare();
    // A retry keeps the list of the last run with its markers; a new run shows
    // the files it found.
    if (!retry) {
        m_folderLines.clear();
        for (const batch::Item& item : job->items())
            m_folderLines.push_back(item.name);
        mmo1.setLines(m_folderLines);
    } else {
        m_folderLines = mmo1.lines();
    }
    m_folderLineOf.clear();
    for (size_t i = 0; i < m_folderLines.size(); ++i)
        m_folderLineOf.emplace(batch::withoutMarkers(m_folderLines[i]), static_cast<int>(i));
    if (!any) {
        lbl19.setCaption(G("【提示信息】源目录内没有TXT文件."));
        return;
    }
    if (!ThesaurusLoaded) {
        lbl19.setCaption(G("【提示信息】请先初始化再进行替换！"));
        return;
    }
    if (!makeTargetFolder()) return;
    m_batchJob = job;
    BatchTotal = static_cast<int>(job->items().size());
    startBatchRun();
    m_folderDone = 0;
    bsSkinGauge1.setMax(BatchTotal);
    bsSkinGauge1.setValue(0);

    // The markers go to the list on the window now and then rather than after
    // every file: the list of a large folder is long.
    auto shown = Clock::now();
    auto showMarkers = [&] {
        mmo1.setLines(m_folderLines);
        shown = Clock::now();
    };
    struct ShowAtEnd {
        std::function<void()> fn;
        ~ShowAtEnd() { fn(); }
    } atEnd{showMarkers};

    // While the loop runs, the thesaurus is asked for every file: the cheap
    // checks each time, the whole lists now and then. The run's own hooks are
    // put back however the loop ends.
    batch::JobHooks& hooks = job->hooks();
    struct LoopHooks {
        batch::JobHooks& hooks;
        batch::JobHooks saved;
        ~LoopHooks() { hooks = std::move(saved); }
    } loopHooks{hooks, hooks};
    auto checked = Clock::now();
    hooks.pipeline = [this, &checked] {
        const bool thorough = Clock::now() - checked > std::chrono::milliseconds(100);
        if (thorough) checked = Clock::now();
        return pipelineNow(thorough);
    };
    hooks.yield = [&] {
        if (Clock::now() - shown > std::chrono::milliseconds(200)) showMarkers();
        m_platform.processEvents();
    };
    job->start();
}

void TForm1::folderRunEvent(const batch::Event& e) {
    auto mark = [&](const std::string& marker) {
        const auto line = m_folderLineOf.find(e.item.name);
        if (line != m_folderLineOf.end())
            m_folderLines[static_cast<size_t>(line->second)] += marker;
    };
    auto advance = [&] {
        // A thesaurus load run meanwhile shows its own progress on the gauge.
        if (bsSkinGauge1.max() != BatchTotal) bsSkinGauge1.setMax(BatchTotal);
        bsSkinGauge1.setValue(++m_folderDone);
    };
    switch (e.kind) {
    case batch::Event::Started:
        if (Clock::now() - m_batchRefusedAt > std::chrono::seconds(2))
            lbl19.setCaption(G("【提示信息】正在伪原创 ") + e.item.name);
        break;
    case batch::Event::Empty:
        mark(batch::emptyMarker());
        advance();
        break;
    case batch::Event::Written:
        mark(batch::doneMarker());
        advance();
        break;
    case batch::Event::Posting:
        advance();
        break;
    case batch::Event::Posted:
        mark(batch::doneMarker());
        mmo1.setLines(m_folderLines);
        break;
    case batch::Event::Failed:
        batchItemFailed(e);
        if (e.stage == batch::Stage::Read || e.stage == batch::Stage::Write) advance();
        break;
    case batch::Event::Finished:
        mmo1.setLines(m_folderLines);
        batchRunFinished();
        break;
    case batch::Event::Fetched:
        break;
    }
}

void TForm1::batchItemFailed(const batch::Event& e) {
    lv5.append(ListItem{e.item.name, {e.detail}});
    lv5.setVisible(true);
}

void TForm1::batchRunFinished() {
    const batch::Job::Summary& s = m_batchJob->summary();
    m_batchOriginality = m_batchJob->originality();
    batchOriginalityShow();
    const bool posted = m_batchJob->settings().target == batch::Target::Post;
    if (s.allSucceeded()) {
        lbl19.setCaption(posted ? G("【提示信息】全部提交到服务器完成") : G("【提示信息】完毕！"));
        return;
    }
    std::string text = G(s.stopped ? "【提示信息】已停止：" : "【提示信息】完毕：") + G("成功") +
                       std::to_string(s.done) + G("篇，空内容") + std::to_string(s.empty) +
                       G("篇，失败") + std::to_string(s.failed) + G("篇");
    if (s.notDone > 0) text += G("，未完成") + std::to_string(s.notDone) + G("篇");
    text += G("。");
    if (s.failed > 0) text += G("第一个失败：") + s.firstFailure;
    lbl19.setCaption(text);
}
