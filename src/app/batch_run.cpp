// "批量伪原创": the batch job run from the batch page's settings. A list run
// launches one fetch per line and the rest happens as the pages come back (see
// batch_answers.cpp); a folder run rewrites the .txt files of the source folder
// one after the other, with the window's events let through between them. The
// job's events become the page's status, markers, gauge and average.
#include <chrono>

#include "app/Unit1.h"
#include "app/batch_lines.h"
#include "batch/items.h"
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

void TForm1::btn11Click() {
    if (!LoggedIn) {
        lbl19.setCaption(G("【提示信息】请先登录——意思意思！"));
        return;
    }
    if (m_batchRunning) {
        lbl19.setCaption(G("【提示信息】批量伪原创正在进行，请等它完成后再开始。"));
        m_batchRefusedAt = Clock::now();
        return;
    }
    RunningFlag running(m_batchRunning);
    if (bsknrdgrp2.itemIndex() == 1)
        downloadListRun();
    else
        localDirectoryRun();
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

void TForm1::downloadListRun() {
    m_batchJob = makeBatchJob(batchSettings());
    batch::Job& job = *m_batchJob;
    job.prepare();
    // Markers of an earlier run over the same list are not part of the address.
    if (job.bareLines() != mmo2.lines()) mmo2.setLines(job.bareLines());
    BatchTotal = static_cast<int>(job.items().size());
    PostedCount = 0;
    batchOriginalityStart();
    // The job holds itself while it launches: a completion run meanwhile may
    // start another run.
    const std::shared_ptr<batch::Job> hold = m_batchJob;
    hold->start();
}

void TForm1::localDirectoryRun() {
    mmo1.clear();
    // The run keeps the folder it listed; the edit may change while it runs.
    auto job = makeBatchJob(batchSettings());
    const bool any = job->prepare();
    m_folderLines.clear();
    for (const batch::Item& item : job->items())
        m_folderLines.push_back(item.name);
    mmo1.setLines(m_folderLines);
    if (!any) {
        lbl19.setCaption(G("【提示信息】源目录内没有TXT文件."));
        return;
    }
    if (!ThesaurusLoaded) {
        lbl19.setCaption(G("【提示信息】请先初始化再进行替换！"));
        return;
    }
    m_batchJob = job;
    PostedCount = 0;
    BatchTotal = static_cast<int>(job->items().size());
    batchOriginalityStart();
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
    // A file it could not read or write ends the run, shown as the failure of
    // the command.
    if (!job->stoppedBy().empty()) {
        showMarkers();
        m_platform.showError(job->stoppedBy());
        return;
    }
    m_batchOriginality = job->originality();
    batchOriginalityShow();
    lbl19.setCaption(G("【提示信息】完毕！"));
}

void TForm1::folderRunEvent(const batch::Event& e) {
    const int index = e.item.index;
    auto mark = [&](const std::string& marker) {
        if (static_cast<size_t>(index) < m_folderLines.size())
            m_folderLines[static_cast<size_t>(index)] += marker;
        // A thesaurus load run meanwhile shows its own progress on the gauge.
        if (bsSkinGauge1.max() != BatchTotal) bsSkinGauge1.setMax(BatchTotal);
        bsSkinGauge1.setValue(index + 1);
    };
    switch (e.kind) {
    case batch::Event::Started:
        if (Clock::now() - m_batchRefusedAt > std::chrono::seconds(2))
            lbl19.setCaption(G("【提示信息】正在伪原创 ") + e.item.name);
        break;
    case batch::Event::Empty:
        mark(batch::emptyMarker());
        break;
    case batch::Event::Written:
    case batch::Event::Posting:
        mark(batch::doneMarker());
        break;
    case batch::Event::Failed:
    case batch::Event::Fetched:
    case batch::Event::Posted:
        break;
    }
}
