// Pages made to break a reader: deep nesting, huge attributes, bytes of no
// encoding, comments and tags that never end. Each is read within the size
// limit, without a crash, and the rewrite still leaves its markup alone.
#include <gtest/gtest.h>

#include <random>

#include "html/document.h"
#include "html/extract.h"
#include "html/keep.h"
#include "protocol/codepage.h"

namespace {

std::string repeat(const std::string& s, size_t n) {
    std::string out;
    out.reserve(s.size() * n);
    for (size_t i = 0; i < n; ++i)
        out += s;
    return out;
}

std::string changeAll(const std::string& gbk) {
    return gbk + "x";
}

TEST(Hostile, PagesMadeToBreakAReader) {
    std::mt19937 rng(7);
    std::string noise(1 << 20, '\0');
    for (char& c : noise)
        c = static_cast<char>(rng());
    struct Row {
        const char* what;
        std::string page;
    };
    const Row rows[] = {
        {"100,000 nested divs", repeat("<div>", 100000) + "text"},
        {"100,000 nested spans in a table", "<table>" + repeat("x<span>", 100000)},
        {"misnested formatting", repeat("<b><i><u><s></b>", 50000) + "text"},
        {"100,000 attributes", "<div " + repeat("a b c d ", 25000) + ">text</div>"},
        {"10 MB attribute", "<div title=\"" + std::string(10 << 20, 'x') + "\">text</div>"},
        {"unclosed comment", "<p>text<!--" + std::string(1 << 20, '-')},
        {"unclosed script", "<p>text</p><script>" + repeat("<!--<script>", 20000)},
        {"random bytes", noise},
        {"only '<'", std::string(1 << 20, '<')},
        {"only '&'", repeat("&#", 500000)},
        {"UTF-16 of an odd length", std::string("\xFF\xFE<\0p\0>\0\x32", 8)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        html::KeepResult k = html::rewriteKeepingMarkup(r.page, "", changeAll);
        ASSERT_TRUE(k.ok());
        EXPECT_GE(k.page.size(), r.page.size());
        html::Article a = html::extractArticle(r.page);
        EXPECT_EQ(a.found(), a.reason.empty());
    }
}

TEST(Hostile, DepthPastTheLimitIsReadFlatAndLeftAlone) {
    std::string page =
        repeat("<div>", html::kMaxDepth - 1) + "<pre>" + repeat("<div>", 10) + "code";
    html::Document doc = html::parse(page);
    EXPECT_TRUE(doc.depthLimited);
    // The text past the limit may be inside a <pre> it never saw: not rewritten.
    EXPECT_EQ(html::rewriteKeepingMarkup(page, "", changeAll).page, page);
}

TEST(Hostile, PagesOverTheSizeLimitAreRefused) {
    std::string page = "<div title=\"" + std::string(html::kMaxPageBytes, 'x') + "\">text</div>";
    html::KeepResult k = html::rewriteKeepingMarkup(page, "", changeAll);
    EXPECT_FALSE(k.ok());
    EXPECT_EQ(k.page, page);
    EXPECT_EQ(html::extractArticle(page).missing, html::NoArticle::TooLarge);
}

TEST(Extract, PagesWithoutAnArticle) {
    struct Row {
        const char* what;
        const char* page;
    };
    const Row rows[] = {
        {"empty", ""},
        {"navigation only",
         "<ul><li><a href=/a>首页新闻中心</a><li><a href=/b>国内国际财经</a></ul>"},
        {"a few words", "<p>欢迎光临本站。</p>"},
        {"text only in a script",
         "<script>document.write('这是一段很长的说明文字，说明了很多很多事情，但它在脚本里。')</"
         "script>"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        html::Article a = html::extractArticle(r.page);
        EXPECT_FALSE(a.found());
        EXPECT_FALSE(a.reason.empty());
        EXPECT_EQ(a.text(), "");
    }
}

TEST(Extract, TitleThenAnEmptyLineThenOneParagraphALine) {
    const std::string page =
        "<title>河边的早市_本地新闻_某某网</title><div class=nav><a href=/>首页</a><a "
        "href=/n>新闻</a></div>"
        "<h1>河边的早市</h1><div "
        "class=content><p>天刚亮，河边的早市就热闹起来了，卖菜的、卖早点的摊位一字排开。</p>"
        "<p>老人们说，这个早市已经有三十多年的历史，见证了这条街的变化。</p>"
        "<p>责任编辑：张三</p></div><div class=footer>Copyright 版权所有</div>";
    html::Article a = html::extractArticle(page, "text/html; charset=utf-8");
    ASSERT_TRUE(a.found());
    EXPECT_EQ(cp::gbkToUtf8(a.text()),
              "河边的早市\r\n\r\n天刚亮，河边的早市就热闹起来了，卖菜的、卖早点的摊位一字排开。\r\n"
              "老人们说，这个早市已经有三十多年的历史，见证了这条街的变化。\r\n");
}

} // namespace
