// The service over HTTP: tokens, limits and their answers, and reloads while
// requests run.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "service/service_fixture.h"
#include "sqlitedb/sqlite.h"
#include "support/raw_client.h"
#include "thesaurus/keyword_store.h"

namespace {

using namespace servicetest;

struct ServiceHttpTest : ::testing::Test {
    TempDir dir;
    service::ServiceOptions options;
    RunningService running;

    void SetUp() override {
        makeServiceDatabase(dir.path() / "setting.dat");
        options.dbPath = (dir.path() / "setting.dat").string();
    }
    void start() { running = startService(options); }
    HttpResult post(const std::string& target, const std::string& body,
                    const std::string& type = "text/plain", std::vector<std::string> headers = {}) {
        HttpClient client("127.0.0.1", running.port);
        client.setTimeoutMs(60000); // megabytes under the sanitizers
        for (auto& h : headers)
            client.addHeader(std::move(h));
        auto reply = client.post(target, body, type);
        EXPECT_TRUE(reply) << target;
        return reply ? *reply : HttpResult{};
    }
    HttpResult get(const std::string& target) {
        HttpClient client("127.0.0.1", running.port);
        auto reply = client.get(target);
        EXPECT_TRUE(reply) << target;
        return reply ? *reply : HttpResult{};
    }
};

TEST_F(ServiceHttpTest, TokenRules) {
    EXPECT_TRUE(service::isLoopback("127.0.0.1") && service::isLoopback("127.8.9.1") &&
                service::isLoopback("::1") && service::isLoopback("localhost"));
    EXPECT_FALSE(service::isLoopback("0.0.0.0") || service::isLoopback("10.0.0.1") ||
                 service::isLoopback("::") || service::isLoopback("example.org"));
    options.front.bind = "0.0.0.0"; // refused before it would listen
    EXPECT_THROW(service::RewriteService{options}, std::invalid_argument);

    options.front.bind = "127.0.0.1";
    options.token = "s3cret-token";
    start();
    const struct {
        const char* name;
        std::string query;
        std::string header;
        int status;
    } cases[] = {
        {"none", "", "", 401},
        {"bearer", "", "Authorization: Bearer s3cret-token", 200},
        {"scheme in lower case", "", "Authorization: bearer s3cret-token", 200},
        {"wrong bearer", "", "Authorization: Bearer s3cret-tokeN", 401},
        {"prefix of the token", "", "Authorization: Bearer s3cret", 401},
        {"other scheme", "", "Authorization: Basic czNjcmV0LXRva2Vu", 401},
        {"field", "token=s3cret-token", "", 200},
        {"wrong field", "token=s3cret-token2", "", 401},
        // A wrong header is not saved by a right field.
        {"wrong header, right field", "token=s3cret-token", "Authorization: Bearer x", 401},
        // Without a token nothing else is told, not even a missing content.
        {"no token, no content", "seed=x", "", 401},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> headers;
        if (!c.header.empty()) headers.push_back(c.header);
        const HttpResult r = post("/api/rewrite?" + c.query, g("美丽"), "text/plain", headers);
        EXPECT_EQ(r.status, c.status) << r.body;
        if (c.status == 401) {
            EXPECT_EQ(jsonMember(r.body, "error"), "bad_token");
        }
    }
    // The page and the health check stay open.
    EXPECT_EQ(get("/api/health").body,
              "{\"status\":\"ok\",\"pairs\":5,\"protected\":1,\"token\":true}\n");
    EXPECT_EQ(get("/").status, 200);
}

TEST_F(ServiceHttpTest, LimitsAnswerInJson) {
    options.front.maxBufferedBytes = 5u << 20;
    start();
    const std::string limit(4u << 20, 'a');
    const HttpResult whole = post("/api/rewrite?format=text", limit);
    EXPECT_EQ(whole.status, 200);
    EXPECT_EQ(whole.body, limit);

    const struct {
        const char* name;
        std::string method, target, type, body;
        int status;
        std::string error;
    } cases[] = {
        {"over 4 MB", "POST", "/api/rewrite", "text/plain", limit + "a", 413, "too_large"},
        {"far over 4 MB", "POST", "/api/rewrite", "text/plain", limit + limit + limit + limit + "a",
         413, "too_large"},
        // The refused bodies above hold nothing back.
        {"3 MB after them", "POST", "/api/rewrite?format=text", "text/plain",
         std::string(3u << 20, 'b'), 200, ""},
        {"unsupported type", "POST", "/api/rewrite", "image/png", "x", 415, "unsupported_type"},
        {"no content", "POST", "/api/rewrite", "application/json", "{}", 400, "missing_content"},
        {"malformed JSON", "POST", "/api/rewrite", "application/json", "{", 400, "bad_body"},
        {"GET of the interface", "GET", "/api/rewrite", "", "", 405, "method_not_allowed"},
        {"unknown address", "GET", "/nothing", "", "", 404, "not_found"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const HttpResult r = c.method == "GET" ? get(c.target) : post(c.target, c.body, c.type);
        EXPECT_EQ(r.status, c.status);
        if (c.error.empty()) continue;
        EXPECT_EQ(r.header("content-type"), "application/json; charset=utf-8");
        EXPECT_EQ(jsonMember(r.body, "error"), c.error);
        EXPECT_FALSE(jsonMember(r.body, "message").empty());
        EXPECT_FALSE(jsonMember(r.body, "message_en").empty());
    }
    EXPECT_EQ(get("/api/rewrite").header("allow"), "POST");

    // A chunked body grows past the limit as it comes.
    RawClient raw(running.port);
    ASSERT_TRUE(raw.send("POST /api/rewrite HTTP/1.1\r\nHost: x\r\nContent-Type: text/plain\r\n"
                         "Transfer-Encoding: chunked\r\n\r\n"));
    const std::string chunk = std::string("100000\r\n") + std::string(1u << 20, 'c') + "\r\n";
    for (int i = 0; i < 5; ++i)
        raw.send(chunk);
    raw.send("0\r\n\r\n");
    EXPECT_EQ(raw.read(30000, 12).substr(0, 12), "HTTP/1.1 413");
}

TEST_F(ServiceHttpTest, WorkBeyondTheQueueIsRefused) {
    options.front.maxBufferedBytes = 1000; // bodies held at once
    start();
    const HttpResult r = post("/api/rewrite", std::string(2000, 'x'));
    EXPECT_EQ(r.status, 503);
    EXPECT_EQ(jsonMember(r.body, "error"), "busy");
    EXPECT_EQ(post("/api/rewrite", "small").status, 200);
}

TEST_F(ServiceHttpTest, ReloadDuringRequestsDropsNone) {
    start();
    const std::string article = g("美丽的天气");
    const std::string before = cp::gbkToUtf8(g("好看的气候"));
    const std::string after = cp::gbkToUtf8(g("秀丽的气候"));
    std::string error;
    EXPECT_FALSE(running.service->reloadIfChanged(&error)) << error;

    std::atomic<bool> done{false};
    std::atomic<int> answered{0}, wrong{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < 4; ++t)
        callers.emplace_back([&] {
            HttpClient client("127.0.0.1", running.port);
            while (!done) {
                auto r =
                    client.post("/api/rewrite?format=text", cp::gbkToUtf8(article), "text/plain");
                ++answered;
                if (!r || r->status != 200 || (r->body != before && r->body != after)) ++wrong;
            }
        });
    // Each change of the file makes a new snapshot while the callers go on.
    for (int round = 0; round < 10; ++round) {
        {
            auto store = KeywordStore::open(options.dbPath);
            store->db().exec(round % 2 == 0 ? "UPDATE keyword SET nw='秀丽' WHERE ow='美丽'"
                                            : "UPDATE keyword SET nw='漂亮' WHERE ow='美丽'");
        }
        EXPECT_TRUE(running.service->reloadIfChanged(&error)) << error;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    done = true;
    for (auto& t : callers)
        t.join();
    EXPECT_GT(answered, 40);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(post("/api/rewrite?format=text", cp::gbkToUtf8(article)).body, before);

    // A file that cannot be read keeps the snapshot in use.
    std::filesystem::rename(options.dbPath, options.dbPath + ".away");
    EXPECT_FALSE(running.service->reload(&error));
    EXPECT_NE(error.find("setting.dat"), std::string::npos);
    EXPECT_EQ(post("/api/rewrite?format=text", cp::gbkToUtf8(article)).body, before);
}

TEST_F(ServiceHttpTest, PageIsServedWithItsPolicy) {
    start();
    for (const char* path : {"/", "/page.css", "/page.js"}) {
        SCOPED_TRACE(path);
        const HttpResult r = get(path);
        EXPECT_EQ(r.status, 200);
        EXPECT_NE(r.header("content-security-policy").find("default-src 'none'"),
                  std::string::npos);
    }
    EXPECT_NE(get("/").body.find("生成原创"), std::string::npos);
    const HttpResult marked =
        post("/api/rewrite", jsonBody({{"content", "😀美丽的花园，中国"}, {"marks", "1"}}),
             "application/json");
    // Offsets count UTF-16 units, as the page's strings do: 😀 is two.
    EXPECT_NE(marked.body.find("\"marks\":[[2,4],[8,10]]"), std::string::npos) << marked.body;
}

} // namespace
