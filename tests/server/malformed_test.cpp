// Hostile and malformed requests get an answer with a message, never a crash;
// the test submission keeps what was posted; the fixed pages.
#include <sqlite3.h>

#include "engine/codepage.h"
#include "net/cipher_gbk.h"
#include "server/options.h"
#include "server/storage.h"
#include "server_fixture.h"
#include "thesaurus/sqlite.h"

namespace {

bool isMessage(const HttpReply& res) {
    return res && !res->body.empty() && cp::isValidUtf8(res->body) &&
           cp::utf8ToGbk(res->body).find('|') == std::string::npos;
}

class MalformedTest : public ServerTest {};

TEST_F(MalformedTest, BadPointsAndShareRequestsGetAMessage) {
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
    const std::string login = this->login("victim", "pw");
    EXPECT_EQ(login.substr(login.rfind('|')), "|100");
}

TEST_F(MalformedTest, ProtocolErrorsGetAMessageToo) {
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

    // Still serving afterwards.
    EXPECT_EQ(getBody("/softad/tyc.html").find("<body") != std::string::npos, true);
}

TEST_F(MalformedTest, TestSubmissionDecodesGbkFormAndKeepsTheContent) {
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

TEST_F(MalformedTest, PostedMarkupIsShownAsText) {
    ASSERT_TRUE(postForm("/post_test.asp", "id=%3Cb%3E&content=%3Cscript%3Ealert(1)%3C/script%3E"));
    const std::string page = getBody("/post_test.asp");
    EXPECT_EQ(page.find("<script>alert"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;alert(1)"), std::string::npos);
}

TEST_F(MalformedTest, SampleArticlesDifferByIdAndRepeatForTheSameId) {
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

TEST_F(MalformedTest, HelpAndBannerPagesHaveABody) {
    for (const char* path : {"/tychelp.html?V2.0", "/softad/tyc.html?qun2.0_test", "/"}) {
        auto res = get(path);
        ASSERT_TRUE(res) << path;
        EXPECT_EQ(res->status, 200);
        EXPECT_NE(res->body.find("<body"), std::string::npos) << path;
        EXPECT_TRUE(cp::isValidUtf8(res->body));
    }
    EXPECT_NE(getBody("/tychelp.html").find("同义词"), std::string::npos);
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
    for (auto bad : std::vector<std::vector<std::string>>{
             {"--port"}, {"--port", "70000"}, {"--port", "8x"}, {"--data"}, {"--what"}}) {
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

} // namespace
