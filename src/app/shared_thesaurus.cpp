// The page " 词库下载 ": browsing the shared thesaurus page by page, the answer
// of a page request, and the check-all box. The launcher sends page requests
// only while logged in.
#include <charconv>
#include <cmath>
#include <stdexcept>

#include "app/Unit1.h"
#include "net/requests.h"
#include "net/shared_page.h"
#include "net/vendor.h"
#include "net/vendor_protocol.h"
#include "protocol/UnitAES.h"
#include "protocol/cipher_gbk.h"
#include "protocol/codepage.h"

using cp::G;

namespace {

// CurrentPage as a whole number. Only a malformed page answer leaves anything
// else there; the page command then stops with this failure in a message box.
std::int64_t pageNumber(const std::string& text) {
    std::int32_t v = 0;
    const char* end = text.data() + text.size();
    auto [stop, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || stop != end)
        throw std::invalid_argument(G("当前页码“") + text + G("”不是有效的整数"));
    return v;
}

// The page number is not compared with 1 or with the page count: the server's
// answer decides what is shown.
void requestPage(TForm1& f, std::int64_t p) {
    const std::string number = std::to_string(p);
    f.lbl3.setCaption(G("正在读取(") + number + G(")页最新网络词库..."));
    f.gotourl(vendor::pageAddress(p), net::nameOf(net::RequestKind::LoadTyc), 0);
}

} // namespace

void TForm1::btn1Click() {
    lbl3.setCaption(G("正在读取最新网络词库..."));
    gotourl(vendor::pageAddress(), net::nameOf(net::RequestKind::LoadTyc), 0);
}

void TForm1::btn4Click() {
    requestPage(*this, pageNumber(CurrentPage) - 1);
}

void TForm1::btn5Click() {
    requestPage(*this, pageNumber(CurrentPage) + 1);
}

void TForm1::btn7Click() {
    const double value = bsknspndt1.value();
    // The view holds whole numbers; anything a number cannot name is refused.
    if (!std::isfinite(value) || std::fabs(value) > 1e15)
        throw std::invalid_argument(G("页码不是有效的整数"));
    requestPage(*this, std::llround(value));
}

void TForm1::loadtycAnswer(Tmyhttpget&, const std::string& text) {
    if (text.empty()) return;
    std::u16string plain;
    try {
        plain = cipher().DecryptText(text, cipher::keyText(), cipher::kKeyBits);
    } catch (const CipherConversionError&) {
        // Not a page: what is on display stays as it is.
        lbl3.setCaption(G("【提示信息】网络词库页面无法读取，请稍后再试。"));
        return;
    }
    auto page = sharedpage::parse(plain);
    if (!page) return;
    lv2.clear();
    for (auto& row : page->rows)
        lv2.append(ListItem{std::move(row.netId),
                            {std::move(row.ow), std::move(row.nw), std::move(row.sharer)}});
    CurrentPage = std::move(page->currentPage);
    PageCount = std::move(page->pageCount);
    lbl3.setCaption(G("网络词库第(") + CurrentPage + G(")页读取完成..."));
    lbl10.setCaption(G("共") + PageCount + G("页，当前第") + CurrentPage + G("页"));
}

void TForm1::bschck6Click() {
    lv2.setAllChecked(bschck6.checked());
}
