// A page rewritten by the rewrite pipeline: which pieces the shuffle takes,
// what the front ends get back, and a kept page made into GBK for a post.
#include <gtest/gtest.h>

#include "engine/originality.h"
#include "html/document.h"
#include "html/page_pipeline.h"
#include "protocol/codepage.h"

namespace {

using cp::G;

engine::Pipeline pipeline(bool shuffle) {
    engine::RewriteSettings s;
    s.shuffle = shuffle;
    s.shuffleSettings.keyword = "KW";
    s.shuffleSettings.frequency = 30;
    return engine::Pipeline(s, engine::Thesaurus::make({G("美丽")}, {G("漂亮")}, {}));
}

const std::string kPage = "<!DOCTYPE html><meta charset=utf-8><title>美丽</title>"
                          "<a href=/>美丽 首页</a><p>美丽的花，美丽的草</p><b>登录:</b>";

TEST(PagePipeline, TheShuffleTakesOnlyPiecesItCanReorder) {
    engine::RewriteState state(3);
    html::PipelinePage p =
        html::rewritePageWith(kPage, "", "", html::Mode::Keep, pipeline(true), state);
    ASSERT_TRUE(p.page.isPage && !p.page.failed);
    const std::string& out = p.page.output;
    // A title, a link and a label have nothing to reorder: synonyms only,
    // their spaces kept, no keyword, no closing full stop.
    EXPECT_NE(out.find("<title>漂亮</title>"), std::string::npos) << out;
    EXPECT_NE(out.find("<a href=/>漂亮 首页</a>"), std::string::npos) << out;
    EXPECT_NE(out.find("<b>登录:</b>"), std::string::npos) << out;
    // The paragraph is shuffled within itself, with the keyword.
    const size_t p0 = out.find("<p>"), p1 = out.find("</p>");
    ASSERT_TRUE(p0 != std::string::npos && p1 != std::string::npos) << out;
    const std::string para = out.substr(p0 + 3, p1 - p0 - 3);
    EXPECT_NE(para.find("KW"), std::string::npos) << para;
    EXPECT_NE(para.find("漂亮的花"), std::string::npos) << para;
    EXPECT_EQ(para.find("美丽"), std::string::npos) << para;
    // Every occurrence counts, and the originality texts are the pieces.
    EXPECT_EQ(p.replacements, 4u);
    EXPECT_EQ(p.source, G("美丽\n美丽 首页\n美丽的花，美丽的草\n登录:\n"));
    EXPECT_EQ(p.rewritten.substr(0, p.rewritten.find('\n')), G("漂亮"));
}

TEST(PagePipeline, EachModeOnATextTheProgramHolds) {
    // GBK text with a <meta> for UTF-8: it is read as the text it is.
    const std::string gbk =
        G("<!DOCTYPE html><meta charset=utf-8><title>美丽的花</title><div><p>") +
        G("清晨，美丽的花开了，园丁在花园里浇水，孩子们在草地上奔跑，") +
        G("老人们坐在长椅上聊天，一切都显得那么安静而美好。</p></div>");
    struct Row {
        html::Mode mode;
        bool isPage;
        std::string has;
    };
    const Row rows[] = {
        {html::Mode::Keep, true, G("<title>漂亮的花</title><div><p>清晨，漂亮的花")},
        {html::Mode::Extract, false, G("漂亮的花\r\n\r\n清晨，漂亮的花开了")},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(static_cast<int>(r.mode));
        engine::RewriteState state(1);
        html::PipelinePage p = html::rewritePageText(gbk, r.mode, pipeline(false), state);
        EXPECT_EQ(p.page.isPage, r.isPage);
        EXPECT_NE(p.page.output.find(r.has), std::string::npos) << cp::gbkToUtf8(p.page.output);
        EXPECT_GT(engine::originality(p.source, p.rewritten), 0);
    }
    engine::RewriteState state(1);
    EXPECT_FALSE(html::rewritePageText(gbk, html::Mode::Text, pipeline(false), state).page.handled);
    // A page too large to read is a failure, never the page handed back.
    const std::string huge = "<html><p>" + std::string(html::kMaxPageBytes, 'a');
    for (html::Mode mode : {html::Mode::Keep, html::Mode::Extract}) {
        html::PipelinePage p = html::rewritePageWith(huge, "", "", mode, pipeline(false), state);
        EXPECT_TRUE(p.page.failed);
        EXPECT_TRUE(p.page.output.empty());
        EXPECT_FALSE(p.page.reason.empty());
    }
}

TEST(PagePipeline, AKeptPageAsGbkSaysSo) {
    struct Row {
        const char* what;
        std::string page;
        html::PageCharset cs;
        std::string expected;
    };
    const html::PageCharset utf8 = *html::charsetFromLabel("utf-8");
    const html::PageCharset gb = *html::charsetFromLabel("gbk");
    html::PageCharset bom = utf8;
    bom.bomLength = 3;
    const Row rows[] = {
        {"meta charset", "<meta charset=\"utf-8\"><p>花", utf8, G("<meta charset=\"gbk\"><p>花")},
        {"http-equiv", "<meta http-equiv=Content-Type content=\"text/html; charset=UTF-8\">花",
         utf8, G("<meta http-equiv=Content-Type content=\"text/html; charset=gbk\">花")},
        {"byte-order mark", "\xEF\xBB\xBF<p>花", bom, G("<p>花")},
        {"declared GB2312 already", G("<meta charset=gb2312>花"), gb, G("<meta charset=gb2312>花")},
        {"GBK bytes as they are", G("<p>花\x80"), gb, G("<p>花\x80")},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(html::pageAsGbk(r.page, r.cs), r.expected);
    }
}

} // namespace
