#include "batch/page_item.h"

#include "batch/items.h"
#include "html/charset.h"
#include "html/page_pipeline.h"
#include "protocol/codepage.h"

namespace batch {

namespace {

std::optional<PageItem> itemOf(html::Mode mode, std::string_view bytes,
                               std::string_view contentType, std::string_view fileName,
                               textfile::Encoding articleEncoding, const engine::Pipeline& pipeline,
                               engine::RewriteState& state) {
    if (mode == html::Mode::Text || !html::isHtml(contentType, fileName, bytes))
        return std::nullopt;
    html::PipelinePage done =
        html::rewritePageWith(bytes, contentType, fileName, mode, pipeline, state);
    PageItem item;
    item.charset = done.page.charset;
    item.reason = std::move(done.page.reason);
    if (done.page.failed) {
        item.kind = PageItem::Failed;
    } else if (done.page.isPage) {
        item.kind = PageItem::Page;
        item.output = std::move(done.page.output);
    } else if (!done.page.output.empty()) {
        item.kind = PageItem::Article;
        item.output = resultText(done.page.output);
        item.encoding = articleEncoding;
    }
    if (item.output.empty() && item.kind != PageItem::Failed) item.kind = PageItem::Empty;
    item.source = std::move(done.source);
    item.rewritten = std::move(done.rewritten);
    return item;
}

} // namespace

std::string PageItem::postText() const {
    return kind == Page ? html::pageAsGbk(output, charset) : output;
}

std::optional<PageItem> folderPageItem(html::Mode mode, const std::string& path,
                                       const std::string& text, textfile::Encoding encoding,
                                       const engine::Pipeline& pipeline,
                                       engine::RewriteState& state) {
    // The start of a page is ASCII, the same in the text as in the file.
    if (mode == html::Mode::Text || !html::isHtml({}, path, text)) return std::nullopt;
    // The file's own bytes again: the page is read by its own rules.
    std::optional<PageItem> item = itemOf(mode, textfile::encode(text, encoding), {}, path,
                                          textfile::writtenAs(encoding), pipeline, state);
    if (item->kind == PageItem::Failed)
        item->reason = cp::G("无法处理网页 ") + path + ": " + item->reason;
    return item;
}

std::optional<PageItem> fetchedPageItem(html::Mode mode, const std::string& body,
                                        const std::string& contentType,
                                        const engine::Pipeline& pipeline,
                                        engine::RewriteState& state) {
    return itemOf(mode, body, contentType, {}, textfile::Encoding::Gbk, pipeline, state);
}

} // namespace batch
