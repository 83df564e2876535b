// The page " 词库下载 ": browsing the shared thesaurus page by page, the answer
// of a page request, and the check-all box. The launcher sends page requests
// only while logged in.
//
// Page moves stay within 1 and the page count of the last page answer (before
// the first answer only the lower bound is known), and an answer for a page
// outside its own count is not shown: it only tells the count.
#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <optional>
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

// A whole number of the page state, if it holds one.
std::optional<std::int64_t> numberIn(const std::string& text) {
    std::int64_t v = 0;
    const char* end = text.data() + text.size();
    auto [stop, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || stop != end) return std::nullopt;
    return v;
}

// CurrentPage as a whole number. Only a malformed page answer leaves anything
// else there; the page command then stops with this failure in a message box.
std::int64_t pageNumber(const std::string& text) {
    const auto v = numberIn(text);
    if (!v || *v < INT32_MIN || *v > INT32_MAX)
        throw std::invalid_argument(G("当前页码“") + text + G("”不是有效的整数"));
    return *v;
}

// The page count of the last page answer; none before one arrived.
std::optional<std::int64_t> knownPageCount(const std::string& pageCount) {
    const auto count = numberIn(pageCount);
    return count && *count >= 1 ? count : std::nullopt;
}

// `p` moved into 1 .. the page count.
std::int64_t withinPages(const TForm1& f, std::int64_t p) {
    if (const auto count = knownPageCount(f.PageCount); count && p > *count) p = *count;
    return std::max<std::int64_t>(p, 1);
}

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
    const std::int64_t current = pageNumber(CurrentPage);
    const std::int64_t p = withinPages(*this, current - 1);
    if (p >= current) {
        lbl3.setCaption(G("【提示信息】已经是第一页了。"));
        return;
    }
    requestPage(*this, p);
}

void TForm1::btn5Click() {
    const std::int64_t current = pageNumber(CurrentPage);
    const std::int64_t p = withinPages(*this, current + 1);
    if (p <= current) {
        lbl3.setCaption(G("【提示信息】已经是最后一页了。"));
        return;
    }
    requestPage(*this, p);
}

void TForm1::btn7Click() {
    const double value = bsknspndt1.value();
    // The view holds whole numbers; anything a number cannot name is refused.
    if (!std::isfinite(value) || std::fabs(value) > 1e15)
        throw std::invalid_argument(G("页码不是有效的整数"));
    // A number past either end goes to that end, and the edit shows where.
    const std::int64_t p = withinPages(*this, std::llround(value));
    if (static_cast<double>(p) != value) bsknspndt1.setValue(static_cast<double>(p));
    requestPage(*this, p);
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
    const auto number = numberIn(page->currentPage);
    const auto count = knownPageCount(page->pageCount);
    if (number && count && (*number < 1 || *number > *count)) {
        // A page past the end: what is on display stays, the count is news.
        PageCount = std::move(page->pageCount);
        lbl3.setCaption(G("【提示信息】网络词库共") + PageCount + G("页，没有第") +
                        page->currentPage + G("页。"));
        lbl10.setCaption(G("共") + PageCount + G("页，当前第") + CurrentPage + G("页"));
        return;
    }
    lv2.clear();
    for (auto& row : page->rows)
        lv2.append(ListItem{std::move(row.netId),
                            {std::move(row.ow), std::move(row.nw), std::move(row.sharer)}});
    CurrentPage = std::move(page->currentPage);
    PageCount = std::move(page->pageCount);
    lbl3.setCaption(G("网络词库第(") + CurrentPage + G(")页读取完成..."));
    lbl10.setCaption(G("共") + PageCount + G("页，当前第") + CurrentPage + G("页"));
    // A new page is read from its top.
    if (lv2.count() > 0) lv2.scrollIntoView(0);
}

void TForm1::bschck6Click() {
    lv2.setAllChecked(bschck6.checked());
}
