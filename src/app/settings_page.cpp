// The settings of the batch page: the two directory pickers, the link labels,
// the rules that keep the ID mode fitting the source, and the test submission.
#include <optional>
#include <string>

#include "app/Unit1.h"
#include "net/vendor.h"
#include "protocol/codepage.h"

using cp::G;

namespace {

// Indexes of the radio groups "源" and "唯一标识（ID）提交设置".
constexpr int kSourceLocal = 0;
constexpr int kSourceList = 1;
constexpr int kIdUrl = 0;
constexpr int kIdFileName = 2;

// The one select-directory dialog of the page, shown with `title`; it opens
// in the directory it last returned.
std::optional<std::string> pickDirectory(Platform& platform, TSelectDirDialog& dialog,
                                         const std::string& title) {
    dialog.title = title;
    auto chosen = platform.selectDirectory(dialog.title, dialog.initialDir);
    if (chosen) dialog.initialDir = *chosen;
    return chosen;
}

} // namespace

void TForm1::btn9Click() {
    if (auto dir = pickDirectory(m_platform, bsSelDir1, G("选择源目录"))) edt3.setText(*dir);
}

void TForm1::btn10Click() {
    if (auto dir = pickDirectory(m_platform, bsSelDir1, G("选择目标目录"))) edt4.setText(*dir);
}

// The link labels of the page open what their edits hold.
void TForm1::edt4Change() {
    lbl20.setAddress(edt4.text());
}
void TForm1::edt8Change() {
    lbl21.setAddress(edt8.text());
}

// A local source is sent with its file names or list numbers as ids, a
// download list with its addresses or list numbers; a click in "源" selects
// the source's own mode.
void TForm1::bsknrdgrp2Click() {
    if (bsknrdgrp2.itemIndex() == kSourceLocal)
        bsknrdgrp1.setItemIndex(kIdFileName);
    else if (bsknrdgrp2.itemIndex() == kSourceList)
        bsknrdgrp1.setItemIndex(kIdUrl);
}

void TForm1::bsknrdgrp1Click() {
    const int source = bsknrdgrp2.itemIndex();
    const int mode = bsknrdgrp1.itemIndex();
    if (source == kSourceLocal && mode == kIdUrl)
        bsknrdgrp1.setItemIndex(kIdFileName);
    else if (source == kSourceList && mode == kIdFileName)
        bsknrdgrp1.setItemIndex(kIdUrl);
}

// "测试提交": a fixed test article to the vendor's test page, whatever the
// submission address holds. The body goes out as it is, not form-encoded; its
// answer is shown as the server gave it (it is no item of a run).
void TForm1::btn13Click() {
    gotourlPost(vendor::address(vendor::kPostTest), net::nameOf(net::RequestKind::PostSend),
                "id=0" + UserId + G("&content=测试内容"), kTestSubmission);
}
