// What an operator relies on: the access log, /healthz and /readyz, the
// metrics listener, the security headers, and draining before a restart.
#include <sys/socket.h>

#include <future>
#include <mutex>
#include <regex>
#include <thread>

#include "server/access_log.h"
#include "server/http_front.h"
#include "server_fixture.h"
#include "sqlitedb/sqlite.h"
#include "support/client_targets.h"

using namespace std::chrono_literals;

namespace {

struct Lines {
    std::mutex mutex;
    std::vector<std::string> lines;
    std::function<void(const std::string&)> sink() {
        return [this](const std::string& line) {
            std::lock_guard lock(mutex);
            lines.push_back(line);
        };
    }
    std::string all() {
        std::lock_guard lock(mutex);
        std::string out;
        for (const auto& l : lines)
            out += l + "\n";
        return out;
    }
};

class OperationsTest : public ServerTest {
  protected:
    void adjust(ServerOptions& opt) override {
        opt.accessLog = true;
        opt.accessLogSink = access.sink();
        opt.errorLogSink = errors.sink();
        opt.readyPingMs = 50;
        opt.drainIdleGraceMs = 200;
    }
    Lines access, errors;
};

TEST_P(OperationsTest, EachRequestIsOneLogLineWithoutItsQuery) {
    const std::string id = newUser("logged", "secret-password");
    auto res = get(loginTarget("logged", "secret-password"));
    ASSERT_TRUE(res);
    const std::string requestId = res->header("x-request-id");
    ASSERT_FALSE(requestId.empty());
    get("/no/such\"page");
    const std::string log = access.all();
    EXPECT_EQ(log.find("secret-password"), std::string::npos) << log;
    EXPECT_EQ(log.find("qzvemail"), std::string::npos) << log;
    // time, address, method, route, status, bytes, duration, account, request id
    const std::regex line("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z 127\\.0\\.0\\.1 GET "
                          "/login_client\\.asp 200 \\d+ [0-9.]+ms account=" +
                          id + " request=" + requestId);
    EXPECT_TRUE(std::regex_search(log, line)) << log;
    // What a client sent is written so that it cannot break the line.
    EXPECT_NE(log.find("GET /no/such%22page 404"), std::string::npos) << log;

    // JSON, one object a line, from another instance over the same store.
    Lines json;
    ServerOptions opt = serverOptions();
    opt.accessLog = true;
    opt.jsonLog = true;
    opt.accessLogSink = json.sink();
    opt.metrics = false;
    wycserver::VendorServer second(opt);
    HttpClient c("127.0.0.1", second.start());
    c.get(loginTarget("logged", "secret-password"));
    const std::regex object(
        "\\{\"time\":\"[^\"]+Z\",\"remote\":\"127\\.0\\.0\\.1\",\"method\":\"GET\","
        "\"route\":\"/login_client\\.asp\",\"status\":200,\"bytes\":\\d+,"
        "\"ms\":[0-9.]+,\"account\":" +
        id + ",\"request\":\"[0-9a-f-]+\"\\}");
    EXPECT_TRUE(std::regex_match(json.all().substr(0, json.all().size() - 1), object))
        << json.all();
}

TEST(AccessLogErrors, AFloodOfErrorsWritesAFewLinesAndHowManyWereLeftOut) {
    Lines lines;
    auto now = std::chrono::system_clock::time_point{} + std::chrono::hours(24 * 365 * 50);
    wycserver::AccessLog log(false, false, {}, lines.sink(), [&] { return now; });
    for (int i = 0; i < 1000; ++i)
        log.error("the store failed\nDETAIL: " + std::to_string(i));
    EXPECT_EQ(lines.lines.size(), std::size_t{wycserver::AccessLog::kErrorsPerWindow});
    EXPECT_NE(lines.lines[0].find("Z wyc-server: the store failed DETAIL: 0"), std::string::npos)
        << lines.lines[0];
    now += wycserver::AccessLog::kErrorWindow;
    log.error("later");
    EXPECT_NE(lines.lines.at(20).find("980 more error messages left out"), std::string::npos);
    EXPECT_NE(lines.lines.at(21).find("later"), std::string::npos);
}

TEST_P(OperationsTest, HealthReadinessMetricsAndHeaders) {
    for (const char* path : {"/healthz", "/readyz"}) {
        auto res = get(path);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200) << path << " " << res->body;
    }
    auto page = get("/register.asp");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->header("x-content-type-options"), "nosniff");
    EXPECT_EQ(page->header("x-frame-options"), "DENY");
    EXPECT_EQ(page->header("cache-control"), "");
    // The page that shows a recovery code may not be kept by any cache.
    auto signedUp = postForm("/register.asp", "account=new&password=pw&password2=pw");
    ASSERT_TRUE(signedUp);
    EXPECT_EQ(signedUp->header("cache-control"), "no-store");

    // Metrics on their own (loopback) address, not on the service's.
    ASSERT_GT(server->metricsPort(), 0);
    EXPECT_NE(server->metricsPort(), server->port());
    EXPECT_EQ(get("/metrics")->status, 404);
    HttpClient metrics("127.0.0.1", server->metricsPort());
    EXPECT_EQ(metrics.get("/readyz")->status, 404);
    const std::string text = metrics.get("/metrics")->body;
    for (const char* series :
         {"wyc_requests_total{route=\"/register.asp\",status=\"200\"} 2",
          "wyc_requests_total{route=\"other\",status=\"404\"} 1",
          "wyc_request_duration_seconds_count{route=\"/healthz\"} 1",
          "wyc_request_duration_seconds_bucket{route=\"/readyz\",le=\"+Inf\"} 1",
          "wyc_store_errors_total{kind=\"busy\"} 0", "wyc_hash_queue_waiting 0",
          "wyc_open_connections ", "wyc_ready 1", "wyc_draining 0"})
        EXPECT_NE(text.find(series), std::string::npos) << series << "\n" << text;
}

// A restart that loses nothing: once draining, the instance says it is not
// ready, takes no new connection (a proxy then tries the other instance), and
// finishes what it holds.
TEST_P(OperationsTest, DrainingFinishesWhatItHoldsAndTakesNothingNew) {
    auto slow = std::make_unique<RawClient>(server->port());
    ASSERT_TRUE(slow->connected());
    // A request that is under way when the drain begins: its body is still coming.
    const std::string body = "id=last&content=" + std::string(1000, 'x');
    slow->send("POST /post_test.asp HTTP/1.1\r\nHost: x\r\n"
               "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
               std::to_string(body.size()) + "\r\n\r\n" + body.substr(0, 100));
    HttpClient kept("127.0.0.1", server->port());
    ASSERT_EQ(kept.get("/readyz")->status, 200);

    auto draining = std::async(std::launch::async, [this] { server->drain(); });
    std::this_thread::sleep_for(300ms);
    // New connections are refused: a proxy sends the request elsewhere.
    HttpClient fresh("127.0.0.1", server->port());
    fresh.setTimeoutMs(1000);
    EXPECT_FALSE(fresh.get("/healthz"));
    // The request under way finishes, and says the connection ends.
    slow->send(body.substr(100));
    const std::string answer = slow->read(3000);
    EXPECT_EQ(answer.rfind("HTTP/1.1 200", 0), 0u) << answer;
    EXPECT_NE(answer.find("Connection: close"), std::string::npos) << answer;
    EXPECT_EQ(draining.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(server->storage().latestPosts(1).at(0).id, "last");
    EXPECT_FALSE(server->ready());
}

WYC_ON_SQLITE(OperationsTest);

} // namespace
