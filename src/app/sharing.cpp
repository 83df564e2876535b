// Sharing pairs of the local thesaurus (page " 管理词库 ") to the vendor
// server: the selected row, the checked rows (at most ten a press), and the
// pair just added (from the add command). The server's answer is shown as it
// came.
#include <vector>

#include "app/Unit1.h"
#include "app/thesaurus_rows.h"
#include "net/requests.h"
#include "net/vendor.h"
#include "net/vendor_protocol.h"
#include "protocol/codepage.h"

using cp::G;

namespace {
constexpr size_t kShareLimit = 10; // share requests per press of btn8
} // namespace

void TForm1::sendShareRequest(const std::string& ow, const std::string& nw) {
    gotourl(vendor::shareAddress(cipher(), UserId, ow, nw, LoginToken),
            net::nameOf(net::RequestKind::SendKeywords), 0);
}

void TForm1::sendkeywordsAnswer(Tmyhttpget&, const std::string& text) {
    lbl9.setCaption(text);
    // An accepted share earns points: the login strip follows the balance.
    if (const auto balance = vendor::readShareBalance(text)) showPoints(*balance);
}

void TForm1::N6Click() {
    const int row = listview1.selected();
    if (row < 0) return;
    const ListItem& item = listview1.item(row);
    const std::string ow = rows::subItem(item, 0), nw = rows::subItem(item, 1);
    sendShareRequest(ow, nw);
}

void TForm1::btn8Click() {
    // The first ten checked rows, copied before the first request: starting a
    // request lets window events run, and they may change the list.
    struct Checked {
        int row;
        std::string ow, nw;
    };
    std::vector<Checked> checked;
    const auto& items = listview1.items();
    for (size_t i = 0; i < items.size() && checked.size() < kShareLimit; ++i) {
        if (items[i].checked)
            checked.push_back(
                {static_cast<int>(i), rows::subItem(items[i], 0), rows::subItem(items[i], 1)});
    }
    for (const auto& c : checked)
        sendShareRequest(c.ow, c.nw);
    if (checked.size() < kShareLimit) return;
    lbl9.setCaption(G("正在共享前10条，如果您想共享更多，请分批共享。"));
    const int last = checked.back().row;
    if (last >= listview1.count()) return;
    listview1.setSelected(last);
    listview1.setFocus();
    listview1.scrollIntoView(last);
}
