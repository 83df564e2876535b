// Copying pairs of the shared thesaurus page into the local thesaurus, and the
// points request that reports each copied pair to the vendor server. A
// download that spends points asks first, saying how many pairs it adds.
#include <set>
#include <utility>
#include <vector>

#include "app/Unit1.h"
#include "app/thesaurus_rows.h"
#include "net/requests.h"
#include "net/vendor.h"
#include "net/vendor_protocol.h"
#include "protocol/codepage.h"
#include "thesaurus/keyword_store.h"
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

// How many of the pairs a download adds, each one costing points: those the
// local thesaurus does not hold yet, each counted once.
int pairsToPayFor(KeywordStore& store, const std::vector<PagePair>& pairs) {
    std::set<std::pair<std::string, std::string>> seen;
    int n = 0;
    for (const auto& p : pairs) {
        if (!pairfile::isStorableWord(p.ow) || !pairfile::isStorableWord(p.nw)) continue;
        if (!seen.insert({p.ow, p.nw}).second || store.findPair(p.ow, p.nw)) continue;
        ++n;
    }
    return n;
}

// Downloads the pairs once the user agreed to what they cost. Pairs already
// held cost nothing and go ahead without a question (each says so).
void downloadAll(TForm1& f, const std::vector<PagePair>& pairs) {
    if (pairs.empty()) return;
    if (!f.Database) throw DbError("setting.dat is not open");
    if (const int paid = pairsToPayFor(*f.Database, pairs); paid > 0) {
        const std::string question =
            G("将下载") + std::to_string(paid) +
            G("个词对到本地词库，每个词对都要扣除积分（下载过的词对不再扣分）。"
              "\r\n确定下载吗？");
        if (!f.platform().confirm(question)) {
            f.lbl3.setCaption(G("【提示信息】已取消下载，没有扣除积分。"));
            return;
        }
    }
    for (const auto& p : pairs)
        download(f, p);
}

} // namespace

void TForm1::N4Click() {
    const int row = lv2.selected();
    if (row < 0) return;
    downloadAll(*this, {pairOf(lv2.item(row))});
}

void TForm1::N5Click() {
    downloadAll(*this, rowsToDownload(lv2, false));
}

void TForm1::N7Click() {
    downloadAll(*this, rowsToDownload(lv2, true));
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
    showPoints(answer->balance);
    lbl3.setCaption(answer->message);
}
