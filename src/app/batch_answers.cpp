// What a batch run does as its requests come back: a fetched page of the
// download list goes to the run's job, which rewrites it and saves or submits
// it; every answered submission goes to the job too, and counts.
#include "app/Unit1.h"
#include "app/batch_lines.h"
#include "batch/items.h"
#include "net/HTTPGet.h"
#include "net/failure_reason.h"
#include "protocol/codepage.h"

using cp::G;

batch::Job& TForm1::answeringJob() {
    // A page fetched outside a run (none was started in this window) is
    // handled as an item of its own with the page's settings as they are now.
    if (!m_batchJob || m_batchJob->settings().source != batch::Source::List) {
        batch::JobSettings settings = batchSettings();
        settings.source = batch::Source::List;
        m_batchJob = makeBatchJob(std::move(settings));
    }
    return *m_batchJob;
}

void TForm1::listRunEvent(const batch::Event& e) {
    const int index = e.item.index;
    auto showAverage = [this] {
        if (m_batchJob) m_batchOriginality = m_batchJob->originality();
        batchOriginalityShow();
    };
    switch (e.kind) {
    case batch::Event::Started:
        // The status comes first: launching lets answers that are already in
        // run, and their texts (a finished fetch, a file that could not be
        // written) must not be hidden behind an older "正在抓取".
        lbl19.setCaption(G("【提示信息】正在抓取") + e.item.name);
        break;
    case batch::Event::Fetched:
        lbl19.setCaption(G("【提示信息】抓取") + e.detail + G("完成"));
        break;
    case batch::Event::Empty:
        batch::markLine(mmo2, index, batch::emptyMarker());
        break;
    case batch::Event::Written:
    case batch::Event::Posted:
        // A line is marked once its result is saved or its post is answered.
        showAverage();
        batch::markLine(mmo2, index, batch::doneMarker());
        break;
    case batch::Event::Posting:
        lbl19.setCaption(G("【提示信息】") + e.item.name + G("正在提交到网络..."));
        break;
    case batch::Event::Failed:
        // The line stays unmarked; the status names the item and the reason.
        if (e.stage == batch::Stage::Write)
            lbl19.setCaption(G("【提示信息】") + e.detail); // names the file and the reason
        else if (e.stage == batch::Stage::Fetch && e.detail.rfind(G("抓取出错"), 0) != 0)
            lbl19.setCaption(G("【提示信息】抓取") + e.item.name + G("出错：") + e.detail);
        else if (e.stage == batch::Stage::Post && e.detail.rfind(G("提交出错"), 0) != 0)
            lbl19.setCaption(G("【提示信息】") + e.item.name + G("提交出错：") + e.detail);
        if (index >= 0) batchItemFailed(e);
        break;
    case batch::Event::Finished:
        batchRunFinished();
        break;
    }
}

void TForm1::getcontentAnswer(Tmyhttpget& request, const std::string& body) {
    // The page goes to the job as it came: the job decides how to read it.
    answeringJob().fetched(request.FListIndex,
                           {request.URL, body, request.ResponseStatus, request.ContentType});
}

void TForm1::getcontentError(Tmyhttpget& request) {
    lbl19.setCaption(G("【提示信息】抓取") + request.URL + G("出错"));
    answeringJob().fetchFailed(request.FListIndex,
                               net::withReason(G("抓取出错"), request.ErrorReason));
}

void TForm1::PostSendAnswer(Tmyhttpget& request, const std::string& text) {
    // "测试提交" is no item of a run: its answer is shown as it came.
    if (request.FListIndex == kTestSubmission) {
        lbl19.setCaption(G("【提示信息】") + text);
        return;
    }
    ++PostedCount;
    lbl19.setCaption(G("【提示信息】") + text);
    if (m_batchJob) m_batchJob->posted(request.FListIndex, text, request.ResponseStatus);
}

void TForm1::PostSendError(Tmyhttpget& request) {
    lbl19.setCaption(G("【提示信息】") + request.URL + G("提交出错"));
    if (request.FListIndex == kTestSubmission) return;
    ++PostedCount;
    if (m_batchJob)
        m_batchJob->postFailed(request.FListIndex,
                               net::withReason(G("提交出错"), request.ErrorReason));
}
