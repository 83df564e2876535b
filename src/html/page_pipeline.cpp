#include "html/page_pipeline.h"

#include <algorithm>

#include "html/codec.h"
#include "protocol/codepage.h"

namespace html {

namespace {

// Whether the shuffle can reorder anything in a GBK piece: one of its
// delimiters with text on either side.
bool reorderable(const std::string& gbk) {
    static const std::string wide[] = {cp::G("，"), cp::G("。"), cp::G("！"), cp::G("；")};
    const auto* t = reinterpret_cast<const unsigned char*>(gbk.data());
    const size_t n = gbk.size();
    bool textBefore = false, cut = false;
    for (size_t i = 0; i < n;) {
        const size_t len = cp::charLength(t, i, n);
        bool delimiter = false;
        if (len == 1) {
            const char c = gbk[i];
            delimiter = c == ',' || c == ':' || c == '.' || c == '!' || c == ';';
            if (!delimiter && c != ' ' && c != '\t' && c != '\r' && c != '\n') {
                if (cut) return true;
                textBefore = true;
            }
        } else if (len == 2) {
            const std::string_view ch(gbk.data() + i, 2);
            delimiter = std::find(std::begin(wide), std::end(wide), ch) != std::end(wide);
            if (!delimiter && ch != cp::G("　")) {
                if (cut) return true;
                textBefore = true;
            }
        } else {
            if (cut) return true;
            textBefore = true;
        }
        if (delimiter && textBefore) cut = true;
        i += len;
    }
    return false;
}

} // namespace

PipelinePage rewritePageWith(std::string_view bytes, std::string_view contentType,
                             std::string_view fileName, Mode mode, const engine::Pipeline& pipeline,
                             engine::RewriteState& state) {
    PipelinePage out;
    const bool pieces = mode == Mode::Keep;
    out.page = rewritePage(bytes, contentType, fileName, mode, [&](const std::string& text) {
        engine::RewriteResult r;
        if (pieces && pipeline.settings().shuffle && !reorderable(text)) {
            ReplaceTrace trace;
            r.text = pipeline.replace(text, &trace);
            r.replacements = trace.replacements;
        } else {
            r = pipeline.rewrite(text, state);
        }
        out.replacements += r.replacements;
        out.source += text;
        out.rewritten += r.text;
        if (pieces) {
            out.source += '\n';
            out.rewritten += '\n';
        }
        return std::move(r.text);
    });
    if (out.page.output.empty()) out.source.clear(), out.rewritten.clear();
    return out;
}

PipelinePage rewritePageText(const std::string& gbk, Mode mode, const engine::Pipeline& pipeline,
                             engine::RewriteState& state) {
    // Read as UTF-8, an encoding the bytes can never be taken to contradict,
    // and brought back.
    PipelinePage out =
        rewritePageWith(cp::gbkToUtf8(gbk), "text/plain; charset=utf-8", {}, mode, pipeline, state);
    if (out.page.isPage) out.page.output = cp::utf8ToGbk(out.page.output);
    return out;
}

std::string pageAsGbk(std::string_view page, const PageCharset& cs) {
    page.remove_prefix(std::min(cs.bomLength, page.size()));
    // GB18030 bytes are GBK text already, as they stand.
    std::string gbk = cs.charset == Charset::Gb18030 ? std::string(page) : pageToGbk(page, cs);
    const std::string_view label = metaCharset(gbk);
    if (label.empty()) return gbk;
    if (auto named = charsetFromLabel(label); named && named->charset == Charset::Gb18030)
        return gbk;
    gbk.replace(static_cast<size_t>(label.data() - gbk.data()), label.size(), "gbk");
    return gbk;
}

} // namespace html
