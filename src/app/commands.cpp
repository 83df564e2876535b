// Commands of the tool panel that clear and copy the articles, the banner's
// style fix-up and the link labels.
#include "app/Unit1.h"
#include "protocol/codepage.h"

using cp::G;

void TForm1::bsSkinButton1Click() {
    Memo1.clear();
    Memo2.clear();
    // The originality score belongs to the new article just cleared.
    lbl22.setCaption({});
    bsSkinPageControl1.setActivePage(0);
}

void TForm1::bsSkinXFormButton1Click() {
    // The whole new article is copied, whatever part of it the user selected.
    Memo2.selectAll();
    if (Memo2.text().empty()) {
        Label1.setCaption(G("【提示信息】新文章是空的，没有可复制的内容。"));
        return;
    }
    m_platform.setClipboardText(Memo2.text());
    Label1.setCaption(G("【提示信息】新文章已复制到剪贴板。"));
}

void TForm1::WebBrowser1DocumentComplete(BannerDocument& document) {
    // An error page or a non-HTML document has no body to adjust.
    if (!document.hasBody()) return;
    document.setBodyScroll("no");
    document.setBodyStyleMargin("0");
    document.setBodyStyleBorderWidth(0);
}

void TForm1::linkLabelClick(const TLinkLabel& label) {
    if (label.address().empty()) return;
    m_platform.shellOpen(label.address());
}
