#include "html/page.h"

#include "html/extract.h"

namespace html {

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
        r.reason = k.error;
        r.output = std::move(k.page);
        return r;
    }
    Article a = extractArticle(bytes, contentType);
    r.charset = a.charset;
    if (!a.found()) {
        r.reason = a.reason;
        return r;
    }
    r.output = rewrite(a.text());
    return r;
}

} // namespace html
