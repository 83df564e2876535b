// Hostile and malformed requests get an answer with a message, never a crash;
// the test submission keeps what was posted; the fixed pages.
#include <sqlite3.h>

#include <chrono>
#include <thread>

#include "protocol/cipher_gbk.h"
#include "protocol/codepage.h"
#include "server/options.h"
#include "server/protocol.h"
#include "server/storage.h"
#include "server_fixture.h"
#include "sqlitedb/sqlite.h"
#include "support/client_targets.h"

using namespace std::chrono_literals;

namespace {

bool isMessage(const HttpReply& res) {
    return res && !res->body.empty() && cp::isValidUtf8(res->body) &&
           cp::utf8ToGbk(res->body).find('|') == std::string::npos;
}

class MalformedTest : public ServerTest {};

TEST_P(MalformedTest, BadPointsAndShareRequestsGetAMessage) {
    const std::string id = newUser("victim", "pw");
    const std::string targets[] = {
        "/keywords_point.asp",
        "/keywords_point.asp?q=",
        "/keywords_point.asp?q=XYZ",
        "/keywords_point.asp?q=%ZZ%00",
        "/keywords_point.asp?q=" + cipher::encryptGbk("no separators"),
        "/keywords_point.asp?q=" + cipher::encryptGbk(id + "[@]a[@]b[@]notadd"),
        "/keywords_point.asp?q=" + cipher::encryptGbk("x" + id + "[@]a[@]b[@]addword"),
        "/keywords_point.asp?q=" + cipher::encryptGbk("99999999999999999999[@]a[@]b[@]addword"),
        "/keywords_point.asp?q=" + std::string(4000, 'F'),
        "/sendkeywords.asp",
        "/sendkeywords.asp?q=|",
        "/sendkeywords.asp?q=AB|CD",
        "/sendkeywords.asp?q=" + cipher::encryptGbk(id) + "|" + cipher::encryptGbk("a") + "|zz",
        "/sendkeywords.asp?q=" + cipher::encryptGbk(id) + "|" + cipher::encryptGbk("a") + "|" +
            cipher::encryptGbk("b") + "|" + cipher::encryptGbk("c"),
        "/login_client.asp?garbage",
        "/login_client.asp?qzvemail=\xD6&qzvpassword=\xFF\xFE&key=short",
        "/login_client.asp?qzvemail=\xE4\xB8\xAD\xD6\xD0&qzvpassword=x&key=" + std::string(32, 'f'),
    };
    for (const auto& t : targets) {
        auto res = get(t);
        EXPECT_TRUE(isMessage(res)) << t << " -> " << (res ? res->body : "no answer");
    }
    // None of them moved the balance.
    EXPECT_EQ(server->storage().findAccount(std::stoll(id))->points, 100);
}

TEST_P(MalformedTest, ProtocolErrorsGetAMessageToo) {
    auto missing = get("/no/such/page.asp");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
    EXPECT_TRUE(isMessage(missing));

    auto longTarget = get("/loadtyc.asp?page=" + std::string(20000, '1'));
    ASSERT_TRUE(longTarget);
    EXPECT_EQ(longTarget->status, 414);
    EXPECT_TRUE(isMessage(longTarget));

    auto large = postForm("/post_test.asp", "id=1&content=" + std::string((1 << 20) + 1, 'a'));
    ASSERT_TRUE(large);
    EXPECT_EQ(large->status, 413);
    EXPECT_TRUE(isMessage(large));

    auto multipart =
        client->post("/post_test.asp",
                     "--b\r\nContent-Disposition: form-data; name=\"id\"\r\n\r\n1\r\n--b--\r\n",
                     "multipart/form-data; boundary=b");
    ASSERT_TRUE(multipart);
    EXPECT_EQ(multipart->status, 415);
    EXPECT_TRUE(isMessage(multipart));

    // A query of hundreds of empty parameters is answered like any other.
    std::string params;
    for (int i = 0; i < 500; ++i)
        params += "a&";
    auto many = get("/loadtyc.asp?" + params + "page=1");
    ASSERT_TRUE(many);
    EXPECT_EQ(many->status, 200);
    EXPECT_FALSE(many->body.empty());

    // Still serving afterwards.
    EXPECT_EQ(getBody("/softad/tyc.html").find("<body") != std::string::npos, true);
}

TEST_P(MalformedTest, TestSubmissionDecodesGbkFormAndKeepsTheContent) {
    // What the program's test button sends: "id=0" + UserId + "&content=" + GBK bytes.
    const std::string gbkBody = "id=09&content=" + g("测试内容");
    auto res = postForm("/post_test.asp", gbkBody);
    ASSERT_TRUE(res);
    EXPECT_TRUE(isMessage(res)) << res->body;
    EXPECT_NE(res->body.find("09"), std::string::npos);

    // A batch post: form-encoded GBK with "+" for blanks.
    const std::string encoded = "id=" + formEncode("http://a.example/1.html") +
                                "&content=" + formEncode(g("第一段 文字")) + "+end";
    ASSERT_TRUE(postForm("/post_test.asp", encoded));
    // A UTF-8 client.
    ASSERT_TRUE(postForm("/post_test.asp", "id=u8&content=" + formEncode("统一码内容")));

    const std::string page = getBody("/post_test.asp");
    EXPECT_TRUE(cp::isValidUtf8(page));
    EXPECT_NE(page.find("测试内容"), std::string::npos);
    EXPECT_NE(page.find("第一段 文字 end"), std::string::npos);
    EXPECT_NE(page.find("http://a.example/1.html"), std::string::npos);
    EXPECT_NE(page.find("统一码内容"), std::string::npos);
    // Newest first.
    EXPECT_LT(page.find("统一码内容"), page.find("测试内容"));

    // The content is kept once, as the bytes that were posted.
    const auto posts = server->storage().latestPosts(3);
    ASSERT_EQ(posts.size(), 3u);
    EXPECT_EQ(server->storage().postContent(posts.back().seq), g("测试内容"));
    EXPECT_EQ(posts.back().rawBytes, static_cast<std::int64_t>(gbkBody.size()));
}

TEST_P(MalformedTest, PostedMarkupIsShownAsText) {
    ASSERT_TRUE(postForm("/post_test.asp", "id=%3Cb%3E&content=%3Cscript%3Ealert(1)%3C/script%3E"));
    const std::string page = getBody("/post_test.asp");
    EXPECT_EQ(page.find("<script>alert"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;alert(1)"), std::string::npos);
}

TEST_P(MalformedTest, SampleArticlesDifferByIdAndRepeatForTheSameId) {
    const std::string a1 = getBody("/get_test.asp?id=1");
    const std::string a2 = getBody("/get_test.asp?id=2");
    EXPECT_NE(a1, a2);
    EXPECT_EQ(a1, getBody("/get_test.asp?id=1"));
    EXPECT_TRUE(cp::isValidUtf8(a1));
    EXPECT_GT(cp::utf8ToUtf16(a1).size(), 150u);
    EXPECT_NE(a1.find("（第1篇）"), std::string::npos);
    EXPECT_FALSE(getBody("/get_test.asp?id=%FF%3Cx").empty());
    EXPECT_FALSE(getBody("/get_test.asp").empty());
}

TEST_P(MalformedTest, HelpAndBannerPagesHaveABody) {
    for (const char* path : {"/tychelp.html?V2.0", "/softad/tyc.html?qun2.0_test", "/"}) {
        auto res = get(path);
        ASSERT_TRUE(res) << path;
        EXPECT_EQ(res->status, 200);
        EXPECT_NE(res->body.find("<body"), std::string::npos) << path;
        EXPECT_TRUE(cp::isValidUtf8(res->body));
    }
    EXPECT_NE(getBody("/tychelp.html").find("同义词"), std::string::npos);
}

TEST_P(MalformedTest, SlowAndIdleClientsHoldUpNobody) {
    const std::string id = newUser("patient", "pw");
    // More idle connections and half-sent requests than a server with a thread
    // per connection would have threads.
    std::vector<std::unique_ptr<RawClient>> hogs;
    for (int i = 0; i < 100; ++i) {
        hogs.push_back(std::make_unique<RawClient>(server->port()));
        ASSERT_TRUE(hogs.back()->connected());
        if (i % 2) hogs.back()->send("GET /login_client.asp?qzvemail=pat");
    }
    client->setTimeoutMs(5000);
    EXPECT_EQ(login("patient", "pw").rfind("ok|" + id + "|100|", 0), 0u);
    // A client that waits a moment before it asks is still answered.
    RawClient late(server->port());
    std::this_thread::sleep_for(1500ms);
    late.send("GET /get_test.asp?id=1 HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(late.read(5000).rfind("HTTP/1.1 200", 0), 0u);
    // Stopping closes them all at once instead of waiting for them.
    const auto t0 = std::chrono::steady_clock::now();
    server->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 3s);
    EXPECT_TRUE(hogs[1]->closedWithin(1000));
}

// Names and words cannot hold NUL in the PostgreSQL store; a request that
// carries one still gets the answer any unknown name gets.
TEST_P(MalformedTest, ANulInANameIsJustAnUnknownName) {
    const std::string account("a\0b", 3);
    auto loginReply = get("/login_client.asp?qzvemail=a%00b&qzvpassword=x&key=" +
                          wycserver::loginKey(account, "x"));
    ASSERT_TRUE(loginReply);
    EXPECT_EQ(loginReply->status, 200);
    EXPECT_NE(loginReply->body.find("账号或密码错误"), std::string::npos) << loginReply->body;
    auto recover = postForm("/findpwd.asp", "account=a%00b&code=2222-2222-2222-2222"
                                            "&password=n&password2=n");
    ASSERT_TRUE(recover);
    EXPECT_EQ(recover->status, 200);
    EXPECT_NE(recover->body.find("找回失败"), std::string::npos);
    const std::string id = newUser("reader");
    EXPECT_TRUE(isMessage(get(pointsTarget(id, std::string("w\0", 2), "n", tokens[id]))));
}

// Posts are anonymous and up to a megabyte each: a flood from one address or
// one network would push everyone else's out of the store.
class PostLimitTest : public ServerTest {
  protected:
    void adjust(ServerOptions& opt) override {
        opt.postUnitsPerAddress = 5;
        opt.postUnitsPerNetwork = 8;
    }
};

TEST_P(PostLimitTest, PostsAreLimitedPerAddressAndNetwork) {
    auto postFrom = [&](const std::string& address, std::size_t bytes) {
        HttpClient c("127.0.0.1", server->port());
        c.setSourceAddress(address);
        auto res =
            c.post("/post_test.asp", "id=" + address + "&content=" + std::string(bytes, 'x'));
        return res ? res->status : 0;
    };
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(postFrom("127.0.0.1", 10), 200) << i;
    EXPECT_EQ(postFrom("127.0.0.1", 10), 429);
    EXPECT_EQ(postFrom("127.0.0.2", 40000), 200); // three units: the network has used 8
    EXPECT_EQ(postFrom("127.0.0.3", 10), 429);
    EXPECT_EQ(postFrom("127.0.1.1", 10), 200);
    // Refused posts were not stored.
    EXPECT_EQ(server->storage().latestPosts(100).size(), 7u);
    auto refused = postForm("/post_test.asp", "id=1&content=x");
    ASSERT_TRUE(refused);
    EXPECT_TRUE(isMessage(refused));
}

TEST(FormStream, DecodesABodyArrivingInPieces) {
    const std::pair<std::string, wycserver::FormFields> cases[] = {
        {"a=1&b=2", {{"a", "1"}, {"b", "2"}}},
        {"a=%41%4&b=%%41&c=%", {{"a", "A%4"}, {"b", "%A"}, {"c", "%"}}},
        {"=v&&k&x==y", {{"", "v"}, {"k", ""}, {"x", "=y"}}},
        {"a+b=c+d%2B%3D", {{"a b", "c d+="}}},
        {"n=%E4%b8%AD&n=2&%zz=%4g", {{"n", "\xE4\xB8\xAD"}, {"n", "2"}, {"%zz", "%4g"}}},
    };
    for (const auto& [body, expected] : cases) {
        EXPECT_EQ(wycserver::parseForm(body), expected) << body;
        wycserver::FormStream bytewise;
        for (char c : body)
            bytewise.feed(std::string_view(&c, 1));
        EXPECT_EQ(bytewise.finish(), expected) << body;
    }
    // Only the fields asked for, each up to its size; the first value wins.
    wycserver::FormStream kept({{"id", 4}, {"content", 3}});
    kept.feed("x=1&content=ab%63d&id=12");
    kept.feed("&content=zz&id=34");
    EXPECT_EQ(kept.finish(), (wycserver::FormFields{{"content", "abc"}, {"id", "12"}}));
    EXPECT_EQ(kept.tooLarge(), "content");
}

class TightLimitsTest : public ServerTest {
  protected:
    void adjust(ServerOptions& opt) override {
        opt.requestDeadlineSec = 1;
        opt.maxPostContentBytes = 1000;
        opt.keptPostBytes = 5000;
    }
};

TEST_P(TightLimitsTest, ADripFeedIsCutOffAtTheDeadline) {
    RawClient drip(server->port());
    const std::string request = "GET /get_test.asp?id=1 HTTP/1.1\r\nHost: x\r\n\r\n";
    const auto t0 = std::chrono::steady_clock::now();
    bool cut = false;
    for (std::size_t i = 0; i < request.size() && !cut; ++i)
        cut = !drip.send(request.substr(i, 1)) || drip.closedWithin(200);
    EXPECT_TRUE(cut);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 4s);
    EXPECT_FALSE(getBody("/get_test.asp?id=1").empty());
}

TEST_P(TightLimitsTest, OversizedRequestsAreRefusedEarly) {
    RawClient flood(server->port());
    std::string head = "GET / HTTP/1.1\r\nHost: x\r\n";
    for (int i = 0; i < 400; ++i)
        head += "X-Filler-" + std::to_string(i) + ": " + std::string(100, 'a') + "\r\n";
    flood.send(head);
    EXPECT_EQ(flood.read(3000).substr(0, 12), "HTTP/1.1 431");

    RawClient huge(server->port());
    huge.send("POST /post_test.asp HTTP/1.1\r\nHost: x\r\n"
              "Content-Type: application/x-www-form-urlencoded\r\n"
              "Content-Length: 100000000\r\n\r\nid=1&content=");
    EXPECT_EQ(huge.read(3000).substr(0, 12), "HTTP/1.1 413");

    // Content over the cap is refused with a clear text and not kept.
    auto over = postForm("/post_test.asp", "id=big&content=" + std::string(1001, 'a'));
    ASSERT_TRUE(over);
    EXPECT_EQ(over->status, 413);
    EXPECT_TRUE(isMessage(over));
    EXPECT_NE(over->body.find("没有保存"), std::string::npos) << over->body;
    EXPECT_TRUE(server->storage().latestPosts(10).empty());

    // The posts kept fit in the byte budget: each of these holds about 2,000.
    for (const char* id : {"1", "2", "3"})
        ASSERT_TRUE(postForm("/post_test.asp",
                             std::string("id=") + id + "&content=" + std::string(1000, 'a')));
    const auto kept = server->storage().latestPosts(10);
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].id, "3");
    EXPECT_EQ(kept[1].id, "2");
}

TEST(ServerOptionsTest, DefaultsAndErrors) {
    auto d = parseServerOptions({});
    ASSERT_TRUE(d.options);
    EXPECT_EQ(d.options->port, 8600);
    EXPECT_EQ(d.options->host, "127.0.0.1");
    EXPECT_EQ(d.options->dataFile, "wyc-server.db");
    auto set = parseServerOptions({"--port", "9000", "--data=x.db", "--host", "0.0.0.0"});
    ASSERT_TRUE(set.options);
    EXPECT_EQ(set.options->port, 9000);
    EXPECT_EQ(set.options->dataFile, "x.db");
    EXPECT_EQ(set.options->host, "0.0.0.0");
    const std::string uri = "postgresql://u:p@127.0.0.1:5432/wyc";
    auto pg = parseServerOptions({"--database", uri, "--trusted-proxy=127.0.0.1"});
    ASSERT_TRUE(pg.options);
    EXPECT_EQ(pg.options->databaseUri, uri);
    EXPECT_EQ(pg.options->trustedProxy, "127.0.0.1");
    auto ops = parseServerOptions(
        {"--log-format", "json", "--metrics", "[::1]:9700", "--drain-seconds=3", "--quiet"});
    ASSERT_TRUE(ops.options);
    EXPECT_TRUE(ops.options->jsonLog);
    EXPECT_FALSE(ops.options->accessLog);
    EXPECT_EQ(ops.options->metricsHost, "::1");
    EXPECT_EQ(ops.options->metricsPort, 9700);
    EXPECT_EQ(ops.options->drainTimeoutMs, 3000);
    EXPECT_FALSE(parseServerOptions({"--no-metrics"}).options->metrics);
    auto copy = parseServerOptions({"--copy-from", "old.db", "--database", uri});
    ASSERT_TRUE(copy.options);
    EXPECT_EQ(copy.options->copyFrom, "old.db");
    for (auto bad :
         std::vector<std::vector<std::string>>{{"--port"},
                                               {"--port", "70000"},
                                               {"--port", "8x"},
                                               {"--data"},
                                               {"--what"},
                                               {"--database", "wyc.db"}, // not a PostgreSQL URI
                                               {"--data", "x.db", "--database", uri}, // two stores
                                               {"--copy-from", "old.db"},             // into what?
                                               {"--trusted-proxy"},
                                               {"--log-format", "xml"},
                                               {"--metrics", "9700"},
                                               {"--metrics", "host:port"},
                                               {"--drain-seconds", "0"},
                                               {"--port", "65000"}}) { // metrics beyond 65535
        auto r = parseServerOptions(bad);
        EXPECT_FALSE(r.options);
        EXPECT_EQ(r.exitCode, 2);
    }
    EXPECT_EQ(parseServerOptions({"--help"}).exitCode, 0);
}

TEST(ServerBinding, APortInUseIsReported) {
    TempDir dir;
    ServerOptions opt;
    opt.port = 0;
    opt.dataFile = (dir.path() / "a.db").string();
    wycserver::VendorServer first(opt);
    opt.port = first.start();
    opt.dataFile = (dir.path() / "b.db").string();
    wycserver::VendorServer second(opt);
    EXPECT_THROW(second.start(), std::runtime_error);
}

WYC_ON_BOTH_STORES(MalformedTest);
WYC_ON_BOTH_STORES(PostLimitTest);
WYC_ON_SQLITE(TightLimitsTest);

} // namespace
