#include "html/page.h"

#include "html/document.h"
#include "html/extract.h"
#include "protocol/codepage.h"

namespace html {

namespace {

const std::string& tooLarge() {
    static const std::string text = cp::G("网页超过16 MB，未处理");
    return text;
}

} // namespace

bool modeFromName(std::string_view name, Mode& mode) {
    if (name == "keep")
        mode = Mode::Keep;
    else if (name == "extract")
        mode = Mode::Extract;
    else if (name == "text")
        mode = Mode::Text;
    else
        return false;
    return true;
}

PageResult rewritePage(std::string_view bytes, std::string_view contentType,
                       std::string_view fileName, Mode mode, const TextRewriter& rewrite) {
    PageResult r;
    if (mode == Mode::Text || !isHtml(contentType, fileName, bytes)) return r;
    r.handled = true;
    if (mode == Mode::Keep) {
        KeepResult k = rewriteKeepingMarkup(bytes, contentType, rewrite);
        r.isPage = true;
        r.charset = k.charset;
        if (!k.ok()) {
            // A page handed back unchanged would pass for a rewritten one.
            r.failed = true;
            r.reason =
                bytes.size() > kMaxPageBytes ? tooLarge() : cp::G("网页的UTF-16编码有误，未处理");
            return r;
        }
        r.output = std::move(k.page);
        return r;
    }
    Article a = extractArticle(bytes, contentType);
    r.charset = a.charset;
    switch (a.missing) {
    case NoArticle::None:
        r.output = rewrite(a.text());
        return r;
    case NoArticle::TooLarge:
        r.failed = true;
        r.reason = tooLarge();
        return r;
    case NoArticle::Listing:
        r.reason = cp::G("列表页，没有正文");
        return r;
    case NoArticle::NoText:
        break;
    }
    r.reason = cp::G("网页中找不到正文");
    return r;
}

} // namespace html
