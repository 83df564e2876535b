// Copying pairs of the shared thesaurus page into the local thesaurus, and the
// points request that reports each copied pair to the vendor server.
#include <vector>

#include "app/Unit1.h"
#include "app/thesaurus_rows.h"
#include "net/requests.h"
#include "net/vendor.h"
#include "net/vendor_protocol.h"
#include "protocol/codepage.h"
#include "thesaurus/pair_file.h"

using cp::G;

namespace {

struct PagePair {
    std::string netId, ow, nw;
};

PagePair pairOf(const ListItem& row) {
    return {row.caption, rows::subItem(row, 0), rows::subItem(row, 1)};
}

// Copies of the rows to download, taken before the first one is added: every
// add starts a request, which lets a page answer replace lv2 in the middle of
// the loop. The loop then finishes the rows it started with.
std::vector<PagePair> rowsToDownload(const TListView& list, bool checkedOnly) {
    std::vector<PagePair> pairs;
    for (const auto& row : list.items())
        if (!checkedOnly || row.checked) pairs.push_back(pairOf(row));
    return pairs;
}

void download(TForm1& f, const PagePair& p) {
    if (!pairfile::isStorableWord(p.ow) || !pairfile::isStorableWord(p.nw)) {
        f.lbl3.setCaption(G("【提示信息】网络编号") + p.netId +
                          G("的词语为空或含有本地词库不能保存的字符，已跳过。"));
        return;
    }
    f.addKeyWord(p.ow, p.nw, true, "download");
}

} // namespace

void TForm1::N4Click() {
    const int row = lv2.selected();
    if (row < 0) return;
    download(*this, pairOf(lv2.item(row)));
}

void TForm1::N5Click() {
    for (const auto& p : rowsToDownload(lv2, false))
        download(*this, p);
}

void TForm1::N7Click() {
    for (const auto& p : rowsToDownload(lv2, true))
        download(*this, p);
}

void TForm1::btn2Click() {
    N5Click();
}

void TForm1::sendPointsRequest(const std::string& ow, const std::string& nw) {
    gotourl(vendor::pointsAddress(cipher(), UserId, ow, nw, LoginToken),
            net::nameOf(net::RequestKind::AddWord), 0);
}

void TForm1::addwordAnswer(Tmyhttpget&, const std::string& text) {
    const auto answer = vendor::readPointsAnswer(text);
    if (!answer) {
        lbl3.setCaption(text);
        return;
    }
    lbl8.setCaption(G("ID:") + UserId + G("登录成功,您当前拥有积分(") + answer->balance +
                    G(")分。"));
    lbl3.setCaption(answer->message);
}
