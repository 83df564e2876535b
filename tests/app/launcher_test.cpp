// The request launchers and the dispatch of completions by request kind.
#include <stdexcept>

#include "app/net_form_fixture.h"

namespace {
const char* const kAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)";
}

using LauncherTest = NetFormTest;

TEST_F(LauncherTest, StartedKindsGoOutWithTheFixedAgentAndNoCache) {
    form->LoggedIn = true;
    server.answerAll({200, "x", "", "", 100});
    for (const char* kind : {"login", "loadtyc", "addword", "sendkeywords", "getcontent"})
        form->gotourl(url(std::string("/") + kind), kind, 0);
    form->gotourlPost(url("/post"), "PostSend", "id=01&content=" + g("文"));
    ASSERT_TRUE(settle());
    auto reqs = server.requests();
    ASSERT_EQ(reqs.size(), 6u);
    for (const auto& r : reqs) {
        EXPECT_EQ(r.header("User-Agent"), kAgent) << r.path;
        EXPECT_EQ(r.header("Cache-Control"), "no-cache") << r.path;
        EXPECT_EQ(r.method, r.path == "/post" ? "POST" : "GET") << r.path;
        if (r.path == "/post") {
            EXPECT_EQ(r.body, "id=01&content=" + g("文"));
        }
    }
}

TEST_F(LauncherTest, RequestObjectCarriesKindIndexAndAddress) {
    server.answerAll({200, "x", "", "", 200});
    form->gotourl(url("/get_test.asp?id=3"), "getcontent", 7);
    form->gotourlPost(url("/post_test.asp"), "PostSend", "id=1");
    ASSERT_EQ(form->Requests.size(), 2u);
    const Tmyhttpget& get = *form->Requests.front();
    EXPECT_EQ(get.FRequestKind, "getcontent");
    EXPECT_EQ(get.FListIndex, 7);
    EXPECT_EQ(get.URL, url("/get_test.asp?id=3"));
    EXPECT_FALSE(get.UseCache);
    const Tmyhttpget& post = *form->Requests.back();
    EXPECT_EQ(post.FListIndex, 0);
    EXPECT_EQ(post.PostQuery, "id=1");
    ASSERT_TRUE(settle());
}

TEST_F(LauncherTest, VendorRequestsPassSlowBatchFetches) {
    server.answer("/page", {200, "article", "", "", 4000});
    server.answer("/login_client.asp", {200, "ok|7|70"});
    for (int i = 0; i < 16; ++i)
        form->gotourl(url("/page"), "getcontent", i);
    form->gotourl(url("/login_client.asp"), "login", 0);
    // The test submission goes to the vendor's own address.
    form->gotourlPost(vendor::address(vendor::kPostTest), "PostSend", "id=09&content=x");
    ASSERT_TRUE(platform.waitUntil([&] { return form->Requests.size() == 16; }));
    // Both were answered while every fetch was still running.
    EXPECT_TRUE(form->LoggedIn);
    EXPECT_EQ(form->UserId, "7");
    // Every fetch reaches the server while they all still run (on a busy
    // machine some connect only after the two vendor answers are in).
    EXPECT_TRUE(platform.waitUntil([&] { return server.count() == 18u; }, 3000));
    EXPECT_EQ(form->Requests.size(), 16u);
    ASSERT_TRUE(settle());
}

TEST_F(LauncherTest, UnstartedKindsSendNothingAndLeaveNoObject) {
    form->gotourl(url("/a"), "PostSend", 0);
    form->gotourl(url("/b"), "Login", 0); // kinds are case-sensitive
    form->gotourl(url("/c"), "", 0);
    form->gotourlPost(url("/d"), "login", "a=1");
    form->gotourlPost(url("/e"), "getcontent", "a=1");
    EXPECT_TRUE(form->Requests.empty());
    pump(150);
    EXPECT_EQ(server.count(), 0u);
}

TEST_F(LauncherTest, BrowsingNeedsALogin) {
    form->lv2.append(ListItem{"1", {"a", "b", "9"}, false});
    form->gotourl(url("/loadtyc.asp"), "loadtyc", 0);
    EXPECT_EQ(form->lv2.count(), 0);
    EXPECT_EQ(form->lbl3.caption(), g("还未登录无法下载网络词库！"));
    EXPECT_TRUE(form->Requests.empty());
    pump(150);
    EXPECT_EQ(server.count(), 0u);

    form->LoggedIn = true;
    form->gotourl(url("/loadtyc.asp?page=2"), "loadtyc", 0);
    ASSERT_TRUE(settle());
    ASSERT_EQ(server.count(), 1u);
    EXPECT_EQ(server.requests()[0].target, "/loadtyc.asp?page=2");
}

TEST_F(LauncherTest, EachFailedKindShowsItsText) {
    server.answerAll({200, ""}); // an empty body is a failed transfer
    form->LoggedIn = true;
    form->UserId = "42";
    const std::string web = server.base();
    struct Case {
        const char* kind;
        TLabel& label;
        std::string text;
    };
    Case cases[] = {
        {"getcontent", form->lbl19, g("【提示信息】抓取") + url("/getcontent") + g("出错")},
        {"addword", form->lbl3, g("下载词库共享时，服务器异常。")},
        {"login", form->lbl8, g("登录失败-服务器不能连接，请联系") + web},
        {"loadtyc", form->lbl3, g("下载词库失败-服务器不能连接，请联系") + web},
        {"sendkeywords", form->lbl9, g("共享失败-服务器不能连接，请联系") + web},
    };
    for (auto& c : cases) {
        c.label.setCaption("before");
        form->gotourl(url(std::string("/") + c.kind), c.kind, 0);
        ASSERT_TRUE(settle()) << c.kind;
        EXPECT_EQ(c.label.caption(), c.text) << c.kind;
    }
    // A failure changes no other state.
    EXPECT_TRUE(form->LoggedIn);
    EXPECT_EQ(form->UserId, "42");
    EXPECT_TRUE(platform.errors().empty());
}

// A failed submission is told as failed, never as "全部提交到服务器完成".
TEST_F(LauncherTest, FailedSubmissionsCountButAreNeverReportedAsDone) {
    server.answerAll({200, ""});
    form->BatchTotal = 2;
    form->PostedCount = 0;
    for (int n = 1; n <= 2; ++n) {
        form->gotourlPost(url("/post_test.asp"), "PostSend", "id=1&content=a");
        ASSERT_TRUE(settle());
        EXPECT_EQ(form->PostedCount, n);
        EXPECT_EQ(form->lbl19.caption(), g("【提示信息】") + url("/post_test.asp") + g("提交出错"));
    }
}

// The refusal text of a login answer reaches lbl8 exactly as getstr passed it,
// which shows the encoding step.
TEST_F(LauncherTest, OnlyWellFormedUtf8IsConverted) {
    struct Case {
        std::string body;
        std::string shown;
    } cases[] = {
        {"plain ascii", "plain ascii"},
        {"\xE7\x94\xA8\xE6\x88\xB7\xE4\xB8\x8D\xE5\xAD\x98\xE5\x9C\xA8", g("用户不存在")},
        {g("密码错误"), g("密码错误")},
        // GBK that a loose decoder would take for two-byte UTF-8 sequences.
        {"\x81\x80\x81\x81", "\x81\x80\x81\x81"},
        // Four-byte UTF-8 is valid; the character gets its GB18030 form.
        {"ok \xF0\x9F\x98\x80", "ok \x94\x39\xFC\x36"},
        // Overlong forms and encoded surrogates are not UTF-8.
        {"\xC0\xAF\xED\xA0\x80", "\xC0\xAF\xED\xA0\x80"},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& c : cases) {
        server.answerAll({200, c.body});
        form->gotourl(url("/login_client.asp"), "login", 0);
        ASSERT_TRUE(settle());
        EXPECT_TRUE(form->lbl8.caption() == c.shown) << c.shown;
    }
}

TEST_F(LauncherTest, FailingHandlerReleasesTheRequestThenShowsTheError) {
    size_t ownedWhenShown = 99;
    platform.onError = [&] { ownedWhenShown = form->Requests.size(); };
    form->lbl8.setObserver([] { throw std::runtime_error("label broke"); });

    server.answerAll({200, "refused"});
    form->gotourl(url("/login_client.asp"), "login", 0);
    ASSERT_TRUE(platform.waitUntil([&] { return !platform.errors().empty(); }));
    EXPECT_EQ(platform.errors(), std::vector<std::string>{"label broke"});
    EXPECT_EQ(ownedWhenShown, 0u);
    EXPECT_TRUE(form->Requests.empty());

    // The same on the failure path.
    server.answerAll({200, ""});
    ownedWhenShown = 99;
    form->gotourl(url("/login_client.asp"), "login", 0);
    ASSERT_TRUE(platform.waitUntil([&] { return platform.errors().size() == 2; }));
    EXPECT_EQ(ownedWhenShown, 0u);
    EXPECT_TRUE(form->Requests.empty());
}

TEST_F(LauncherTest, ClosingTheWindowDropsPendingCompletions) {
    server.answerAll({200, "ok|1|2", "", "", 300});
    form->gotourl(url("/login_client.asp"), "login", 0);
    form->gotourl(url("/x"), "getcontent", 1);
    ASSERT_TRUE(platform.waitUntil([&] { return server.count() == 2; }));
    form.reset();
    pump(500);
    SUCCEED(); // nothing ran on the destroyed window (the sanitizer build checks)
}
