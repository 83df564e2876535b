// What a batch run does as its requests come back: a fetched page of the
// download list is rewritten and saved or submitted; every finished submission
// counts towards the end of the run.
#include "app/Unit1.h"
#include "batch/items.h"
#include "batch/source_files.h"
#include "protocol/codepage.h"
#include "net/HTTPGet.h"

using cp::G;

void TForm1::batchItemFailed(int index, const std::string& reason) {
    if (OnBatchItemFailed && index >= 0) OnBatchItemFailed(index, reason);
}

void TForm1::getcontentAnswer(Tmyhttpget& request, const std::string& text) {
    const std::string url = request.URL;
    const int idx = request.FListIndex;
    lbl19.setCaption(G("【提示信息】抓取") + url + G("完成"));
    const std::string rewritten = rewrite(text);
    if (rewritten.empty()) {
        batch::markLine(mmo2, idx, batch::emptyMarker());
        return;
    }
    batchOriginalityAdd(text, rewritten);
    batchOriginalityShow();
    // The line as it stands now names the item; a line the user removed
    // meanwhile is named by the address it was fetched from.
    std::string line;
    if (!batch::lineOf(mmo2, idx, line)) line = url;
    line = batch::withoutMarkers(line);
    const std::string result = batch::resultText(rewritten);
    if (bsknrdgrp3.itemIndex() == 0) {
        const std::string path = batch::joinPath(edt4.text(), batch::outputName(line, idx));
        try {
            batch::writeArticle(path, result);
        } catch (const std::exception& e) {
            // The line stays unmarked; the label says which file failed.
            lbl19.setCaption(G("【提示信息】") + e.what()); // names the file and the reason
            batchItemFailed(idx, e.what());
            return;
        }
        batch::markLine(mmo2, idx, batch::doneMarker());
    } else {
        const std::string id = batch::itemId(bsknrdgrp1.itemIndex(), line, idx);
        // The status comes before the launch, which lets finished posts run:
        // the last of them must leave "全部提交到服务器完成" standing.
        lbl19.setCaption(G("【提示信息】") + url + G("正在提交到网络..."));
        gotourlPost(edt8.text(), "PostSend", batch::postBody(id, result), idx);
        batch::markLine(mmo2, idx, batch::doneMarker());
    }
}

void TForm1::getcontentError(Tmyhttpget& request) {
    lbl19.setCaption(G("【提示信息】抓取") + request.URL + G("出错"));
    batchItemFailed(request.FListIndex, G("抓取出错"));
}

void TForm1::PostSendAnswer(Tmyhttpget&, const std::string& text) {
    ++PostedCount;
    lbl19.setCaption(G("【提示信息】") + text);
    if (PostedCount >= BatchTotal) lbl19.setCaption(G("【提示信息】全部提交到服务器完成"));
}

void TForm1::PostSendError(Tmyhttpget& request) {
    ++PostedCount;
    lbl19.setCaption(G("【提示信息】") + request.URL + G("提交出错"));
    if (PostedCount >= BatchTotal) lbl19.setCaption(G("【提示信息】全部提交到服务器完成"));
    batchItemFailed(request.FListIndex, G("提交出错"));
}
