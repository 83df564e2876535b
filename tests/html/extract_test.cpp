// The rules of the article reader, one small page each: what is furniture,
// which block is the article, where the title comes from.
#include <gtest/gtest.h>

#include "html/extract.h"
#include "html/page.h"
#include "protocol/codepage.h"

namespace {

// Three paragraphs of running text, and one more for a second article.
const char* const kP1 =
    "清晨的菜市场总是最热闹的地方，摊主们早早地摆好了新鲜的蔬菜和水果，等着第一批顾客上门。";
const char* const kP2 =
    "住在附近的老人习惯先转上一圈，比比价格再下手，遇到熟悉的摊主还要聊上几句家常。";
const char* const kP3 =
    "到了八点多，上班的年轻人也来买早点，菜市场门口的包子铺前很快就排起了长队。";
const char* const kOther =
    "这是一段写在评论区里的很长的话，说的是别的事情，和正文没有什么关系，但字数不少，标点也齐全。";

std::string paras() {
    return std::string("<p>") + kP1 + "</p><p>" + kP2 + "</p><p>" + kP3 + "</p>";
}

std::string expected(const std::string& title) {
    return title + "\n\n" + kP1 + "\n" + kP2 + "\n" + kP3 + "\n";
}

std::string comments(const std::string& cls) {
    std::string out = "<div class=\"" + cls + "\">";
    for (int i = 0; i < 4; ++i)
        out += std::string("<div class=item><a href=/u>网友") + char('A' + i) + "</a><p>" + kOther +
               kOther + "</p></div>";
    return out + "</div>";
}

std::string extract(const std::string& page) {
    return cp::gbkToUtf8(html::extractArticle(page, "text/html; charset=utf-8").text("\n"));
}

TEST(Extract, FurnitureIsLeftOut) {
    const std::string nav =
        "<div class=nav><a href=/1>首页</a><a href=/2>新闻</a><a href=/3>体育</a></div>";
    struct Row {
        const char* what;
        std::string page;
    };
    const Row rows[] = {
        {"named comments after the article",
         "<h1>早市</h1><div>" + paras() + "</div>" + comments("comment-list")},
        {"named sidebar beside it", nav + "<div class=main><h1>早市</h1>" + paras() +
                                        "</div><div class=sidebar><p>" + kOther + "</p></div>"},
        {"share bar, editor and copyright lines",
         "<h1>早市</h1><div class=text>" + paras() +
             "<p>分享到：微信 微博</p><p>（责任编辑：王五）</p></div>"
             "<div>Copyright 2024 某某网 版权所有</div>"},
        {"a wrapper whose name says sidebar",
         "<div class=\"page has-sidebar\"><h1>早市</h1>" + paras() + "</div>"},
        {"date and source at the top",
         "<h1>早市</h1><div class=c><p>2024-05-01 08:00 来源：晨报</p>" + paras() + "</div>"},
        {"a date inside a paragraph's furniture",
         "<h1>早市</h1><div><p><span class=time>2024-05-01</span>" + std::string(kP1) + "</p><p>" +
             kP2 + "</p><p>" + kP3 + "</p></div>"},
        {"edit link in a heading and footnote marks",
         "<h1>早市<span class=mw-editsection>[<a href=/e>编辑</a>]</span></h1><div><p>" +
             std::string(kP1) + "<sup>[1]</sup></p><p>" + kP2 + "</p><p>" + kP3 + "</p></div>"},
        {"a table of facts", "<h1>早市</h1><div><table><tr><th>地点</th><td>城东</td></"
                             "tr><tr><th>时间</th><td>每天</td></tr></table>" +
                                 paras() + "</div>"},
        {"hidden by a style", "<h1>早市</h1><div>" + paras() + "<div style=\"display: none\"><p>" +
                                  kOther + "</p></div></div>"},
        {"shown by a script",
         "<h1>早市</h1><div style=\"visibility:hidden\">" + paras() + "</div>"},
        {"later posts of a thread",
         "<title>早市 - 生活论坛</title><div id=list>"
         "<div class=post><a href=/u>楼主</a><span>发表于 2024-05-01</span><div>" +
             paras() +
             "</div></div>"
             "<div class=post><a href=/u>2楼</a><span>发表于 2024-05-02</span><div><p>" +
             kOther +
             "</p></div></div>"
             "<div class=post><a href=/u>3楼</a><span>发表于 2024-05-02</span><div><p>" +
             kOther + "</p></div></div></div>"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(extract(r.page), expected("早市"));
    }
}

TEST(Extract, TheTitle) {
    struct Row {
        const char* what;
        std::string head, heading, title;
    };
    const Row rows[] = {
        {"the heading that agrees with <title>", "<title>城东早市见闻_社会_某某网</title>",
         "<div class=logo><h1><a href=/>某某网</a></h1></div><h2>城东早市见闻</h2>",
         "城东早市见闻"},
        {"<title> without the site's name", "<title>城东早市见闻 - 某某网</title>", "",
         "城东早市见闻"},
        {"<title> of the site's name only", "<title>某某网</title>", "<h1>城东早市见闻</h1>",
         "城东早市见闻"},
        {"a heading's anchor mark", "<title>城东早市见闻</title>",
         "<h1>城东早市见闻<a href=#t>#</a></h1>", "城东早市见闻"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(extract(r.head + r.heading + "<div>" + paras() + "</div>"), expected(r.title));
    }
}

TEST(Extract, AnArticleOnlyAScriptHolds) {
    // In GBK, 乗 ends in the byte of a backslash: the string still ends at its quote.
    const std::string state = "var a=\"乗\";var s=\"" + paras() + "\";";
    const std::string page = cp::G(
        "<title>早市</title><div class=nav><a href=/>首页</a></div><script>" + state + "</script>");
    html::Article a = html::extractArticle(page, "text/html; charset=gbk");
    EXPECT_EQ(cp::gbkToUtf8(a.text("\n")), expected("早市"));
    // Escaped as JSON writes it.
    const std::string json = "<script>window.state={\"content\":\"<p>\\u6e05\\u6668" +
                             std::string(kP1).substr(6) + "<\\/p><p>" + kP2 + "<\\/p><p>" + kP3 +
                             "<\\/p>\"}</script>";
    EXPECT_EQ(extract("<title>早市</title>" + json), expected("早市"));
}

TEST(Extract, ListsOfHeadlinesAreNoArticle) {
    std::string items;
    for (int i = 0; i < 6; ++i)
        items += std::string("<li><h3><a href=/n") + char('0' + i) + ">城东早市迎来新的一天第" +
                 char('0' + i) + "期</a></h3><p>" + kOther + "</p></li>";
    // A listing page: nothing else on it.
    html::Article listing =
        html::extractArticle("<title>新闻</title><ul class=news>" + items + "</ul>");
    EXPECT_EQ(listing.missing, html::NoArticle::Listing);
    // The same list under an article is a feed: left out.
    EXPECT_EQ(extract("<h1>早市</h1><div>" + paras() + "</div><ul>" + items + "</ul>"),
              expected("早市"));
}

} // namespace

namespace {

TEST(Page, EachModeOnHtmlAndOnText) {
    auto upper = [](const std::string& gbk) { return gbk + "!"; };
    const std::string page = "<!DOCTYPE html><title>早市</title><div>" + paras() + "</div>";
    struct Row {
        const char* what;
        std::string bytes, fileName;
        html::Mode mode;
        bool handled, isPage;
    };
    const Row rows[] = {
        {"keep", page, "a.html", html::Mode::Keep, true, true},
        {"extract", page, "", html::Mode::Extract, true, false},
        {"text", page, "a.html", html::Mode::Text, false, false},
        {"not HTML", "清晨的菜市场。", "a.txt", html::Mode::Keep, false, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        html::PageResult p = html::rewritePage(r.bytes, "", r.fileName, r.mode, upper);
        EXPECT_EQ(p.handled, r.handled);
        EXPECT_EQ(p.isPage, r.isPage);
        if (r.handled) {
            EXPECT_NE(p.output.find('!'), std::string::npos);
        }
    }
    // A page without an article: nothing to write, and why.
    html::PageResult none =
        html::rewritePage("<html><a href=/>首页</a></html>", "", "", html::Mode::Extract, upper);
    EXPECT_TRUE(none.handled && none.output.empty() && !none.reason.empty());
}

} // namespace
