// The request component against real servers on the loopback interface.
#include "net/HTTPGet.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

#include "net/loopback_server.h"
#include "support/fixtures.h"
#include "support/recording_platform.h"

using net::splitAddress;

TEST(SplitAddress, SchemeHostPortPathAndQuery) {
    auto p = splitAddress("http://example.com:8080/a/b.asp?x=1&y=2");
    EXPECT_EQ(p.host, "example.com");
    EXPECT_EQ(p.port, 8080);
    EXPECT_EQ(p.path, "/a/b.asp?x=1&y=2");
    EXPECT_FALSE(p.tls);

    auto upper = splitAddress("HTTP://example.com:8080/a/b.asp?x=1&y=2");
    EXPECT_EQ(upper.host, "example.com");
    EXPECT_EQ(upper.port, 8080);
    EXPECT_EQ(upper.path, "/a/b.asp?x=1&y=2");
}

TEST(SplitAddress, DefaultsAndOddInput) {
    auto hostOnly = splitAddress("http://example.com");
    EXPECT_EQ(hostOnly.host, "example.com");
    EXPECT_EQ(hostOnly.path, "/");
    EXPECT_EQ(hostOnly.port, 80);

    EXPECT_EQ(splitAddress("http://h:abc/x").port, 80);
    EXPECT_EQ(splitAddress("http://h:/x").port, 80);
    EXPECT_EQ(splitAddress("http://h:/x").host, "h");
    // Only the first ":" separates the port text.
    EXPECT_EQ(splitAddress("http://h:81:82/").port, 80);
    // The query belongs to the path even when it holds "/" or ":".
    auto q = splitAddress("h:90/p?u=http://x:1/y");
    EXPECT_EQ(q.host, "h");
    EXPECT_EQ(q.port, 90);
    EXPECT_EQ(q.path, "/p?u=http://x:1/y");
    // Another scheme is not recognised: it stays in the host part.
    auto ftp = splitAddress("ftp://h/x");
    EXPECT_EQ(ftp.host, "ftp");
    EXPECT_EQ(ftp.path, "//h/x");
}

TEST(SplitAddress, HttpsSelectsTlsAndPort443) {
    auto p = splitAddress("HttpS://secure.example/login?a=1");
    EXPECT_TRUE(p.tls);
    EXPECT_EQ(p.host, "secure.example");
    EXPECT_EQ(p.port, 443);
    EXPECT_EQ(p.path, "/login?a=1");
    EXPECT_EQ(splitAddress("https://h:8443").port, 8443);
}

namespace {

// What a component reported.
struct Outcome {
    int done = 0;
    int errors = 0;
    std::string text;
    bool finished() const { return done + errors > 0; }
};

class HTTPGetTest : public ::testing::Test {
  protected:
    void SetUp() override { net::setTransferLimits({16, 2000, 2}); }
    void TearDown() override { net::setTransferLimits({}); }

    std::unique_ptr<THTTPGet> make(const std::string& url, Outcome& out) {
        auto r = std::make_unique<THTTPGet>(platform);
        r->URL = url;
        r->OnDoneString = [&out](THTTPGet*, const std::string& t) {
            ++out.done;
            out.text = t;
        };
        r->OnError = [&out](THTTPGet*) { ++out.errors; };
        return r;
    }
    // Runs one exchange to its end.
    Outcome fetch(const std::string& url, const std::string& post = {}) {
        Outcome out;
        auto r = make(url, out);
        r->PostQuery = post;
        r->Start();
        EXPECT_TRUE(platform.waitUntil([&] { return out.finished(); }));
        return out;
    }

    RecordingPlatform platform;
};

} // namespace

TEST_F(HTTPGetTest, GetCarriesTheFixedHeadersAndNoBody) {
    LoopbackServer server;
    server.answerAll({200, "hello"});
    Outcome out;
    auto r = make(server.base() + "/dir/page.asp?x=1&y=%41", out);
    r->Agent = "Agent/1.0";
    r->Start();
    ASSERT_TRUE(platform.waitUntil([&] { return out.finished(); }));
    EXPECT_EQ(out.done, 1);
    EXPECT_EQ(out.text, "hello");
    EXPECT_FALSE(r->running());

    auto reqs = server.requests();
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(reqs[0].method, "GET");
    EXPECT_EQ(reqs[0].target, "/dir/page.asp?x=1&y=%41");
    EXPECT_EQ(reqs[0].header("User-Agent"), "Agent/1.0");
    EXPECT_EQ(reqs[0].header("Accept"), "*/*");
    EXPECT_EQ(reqs[0].header("Cache-Control"), "no-cache");
    EXPECT_FALSE(reqs[0].hasHeader("Content-Type"));
    EXPECT_FALSE(reqs[0].hasHeader("Referer"));
    EXPECT_TRUE(reqs[0].body.empty());
}

TEST_F(HTTPGetTest, PostSendsTheBodyBytesUnchanged) {
    LoopbackServer server;
    // Large enough that a client would normally ask "Expect: 100-continue".
    std::string body = "id=0&content=" + g("测试内容") + std::string("\x01+%2B&=", 7);
    body += std::string(1500 * 1024, 'x');
    auto out = fetch(server.base() + "/post_test.asp", body);
    EXPECT_EQ(out.done, 1);
    auto reqs = server.requests();
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(reqs[0].method, "POST");
    EXPECT_EQ(reqs[0].target, "/post_test.asp");
    EXPECT_EQ(reqs[0].header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_FALSE(reqs[0].hasHeader("Expect"));
    EXPECT_TRUE(reqs[0].body == body);
}

TEST_F(HTTPGetTest, AddressBytesGoOutAsGivenExceptBlanks) {
    LoopbackServer server;
    fetch(server.base() + "/login_client.asp?qzvemail=" + g("中 文") + "&a=b&key=#x");
    auto reqs = server.requests();
    ASSERT_EQ(reqs.size(), 1u);
    // GBK bytes travel raw; a blank and "#" cannot, so they are escaped.
    EXPECT_EQ(reqs[0].target,
              "/login_client.asp?qzvemail=" + g("中") + "%20" + g("文") + "&a=b&key=%23x");
}

TEST_F(HTTPGetTest, SuccessDependsOnTheBodyNotTheStatus) {
    LoopbackServer server;
    server.answer("/missing", {404, "<html>not here</html>"});
    server.answer("/empty", {200, ""});
    auto missing = fetch(server.base() + "/missing");
    EXPECT_EQ(missing.done, 1);
    EXPECT_EQ(missing.text, "<html>not here</html>");
    auto empty = fetch(server.base() + "/empty");
    EXPECT_EQ(empty.done, 0);
    EXPECT_EQ(empty.errors, 1);
}

TEST_F(HTTPGetTest, BodyArrivesWholeWithEveryByteValue) {
    LoopbackServer server;
    std::string exact(1025, '\0');
    for (size_t i = 0; i < exact.size(); ++i)
        exact[i] = static_cast<char>(i % 256);
    std::string big;
    for (int i = 0; i < 300000; ++i)
        big += static_cast<char>((i * 7) % 256);
    server.answer("/exact", {200, exact});
    server.answer("/big", {200, big});
    EXPECT_TRUE(fetch(server.base() + "/exact").text == exact);
    EXPECT_TRUE(fetch(server.base() + "/big").text == big);
}

TEST_F(HTTPGetTest, LastModifiedIsStampedInTheWorkingDirectory) {
    TempDir dir;
    ScopedCwd cwd(dir.path());
    LoopbackServer server;
    server.answer("/one", {200, "a", "Mon, 01 Jan 2024 10:00:00 GMT"});
    server.answer("/two", {200, "b", "Tue, 02 Jan 2024 11:00:00 GMT"});
    server.answer("/none", {200, "c"});
    fetch(server.base() + "/one");
    EXPECT_EQ(readFileBytes(dir.path() / ".ini"), "Mon, 01 Jan 2024 10:00:00 GMT\r\n");
    fetch(server.base() + "/two");
    EXPECT_EQ(readFileBytes(dir.path() / ".ini"), "Tue, 02 Jan 2024 11:00:00 GMT\r\n");
    fetch(server.base() + "/none");
    EXPECT_EQ(readFileBytes(dir.path() / ".ini"), "Tue, 02 Jan 2024 11:00:00 GMT\r\n");
}

TEST_F(HTTPGetTest, RedirectIsFollowedToTheFinalPage) {
    LoopbackServer server;
    server.answer("/old", {302, "moved", "", "/new"});
    server.answer("/new", {200, "final page"});
    EXPECT_EQ(fetch(server.base() + "/old").text, "final page");
}

TEST_F(HTTPGetTest, StartWhileRunningStartsNothingFurther) {
    LoopbackServer server;
    server.answerAll({200, "slow", "", "", 200});
    Outcome out;
    auto r = make(server.base() + "/s", out);
    r->Start();
    EXPECT_TRUE(r->running());
    r->Start();
    ASSERT_TRUE(platform.waitUntil([&] { return out.finished(); }));
    platform.waitUntil([] { return false; }, 100);
    EXPECT_EQ(out.done, 1);
    EXPECT_EQ(server.count(), 1u);
    // Idle again: a further start runs a new exchange.
    r->Start();
    ASSERT_TRUE(platform.waitUntil([&] { return out.done == 2; }));
    EXPECT_EQ(server.count(), 2u);
}

TEST_F(HTTPGetTest, HandlersMayReleaseTheComponent) {
    LoopbackServer server;
    server.answer("/empty", {200, ""});
    for (const char* path : {"/page", "/empty"}) {
        int events = 0;
        auto r = std::make_unique<THTTPGet>(platform);
        r->URL = server.base() + path;
        r->OnDoneString = [&](THTTPGet* s, const std::string&) {
            EXPECT_EQ(s, r.get());
            r.reset();
            ++events;
        };
        r->OnError = [&](THTTPGet* s) {
            EXPECT_EQ(s, r.get());
            r.reset();
            ++events;
        };
        r->Start();
        ASSERT_TRUE(platform.waitUntil([&] { return events == 1; })) << path;
        EXPECT_EQ(r, nullptr);
    }
}

TEST_F(HTTPGetTest, DestroyedComponentRaisesNothing) {
    LoopbackServer server;
    server.answerAll({200, "late", "", "", 300});
    Outcome out;
    auto running = make(server.base() + "/a", out);
    running->Start();
    ASSERT_TRUE(platform.waitUntil([&] { return server.count() == 1; }));
    running.reset();
    // Destroyed before its transfer even began.
    net::setTransferLimits({1, 2000, 2});
    auto first = make(server.base() + "/b", out);
    auto queued = make(server.base() + "/c", out);
    first->Start();
    queued->Start();
    queued.reset();
    first.reset();
    platform.waitUntil([] { return false; }, 700);
    EXPECT_FALSE(out.finished());
}

TEST_F(HTTPGetTest, CancelEndsTheExchangeWithAnError) {
    LoopbackServer server;
    server.answerAll({200, "late", "", "", 800});
    Outcome out;
    auto r = make(server.base() + "/slow", out);
    r->Start();
    ASSERT_TRUE(platform.waitUntil([&] { return server.count() == 1; }));
    r->Cancel();
    ASSERT_TRUE(platform.waitUntil([&] { return out.finished(); }, 1500));
    EXPECT_EQ(out.errors, 1);
    EXPECT_FALSE(r->running());
    r->Cancel(); // idle: nothing happens
    platform.waitUntil([] { return false; }, 50);
    EXPECT_EQ(out.errors, 1);
}

TEST_F(HTTPGetTest, BrokenExchangesAreFailures) {
    {
        RawServer dropper(""); // reads the request and hangs up
        EXPECT_EQ(fetch(dropper.base() + "/x").errors, 1);
    }
    {
        // Part of the promised body, then the connection is gone.
        RawServer cutter("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly ten..");
        EXPECT_EQ(fetch(cutter.base() + "/x").errors, 1);
    }
    {
        // A complete answer ended by closing the connection is fine.
        RawServer closer("HTTP/1.0 200 OK\r\n\r\nwhole body");
        auto out = fetch(closer.base() + "/x");
        EXPECT_EQ(out.done, 1);
        EXPECT_EQ(out.text, "whole body");
    }
    int closedPort;
    {
        LoopbackServer gone;
        closedPort = gone.port();
    }
    EXPECT_EQ(fetch("http://127.0.0.1:" + std::to_string(closedPort) + "/").errors, 1);
    EXPECT_EQ(fetch("http://bad host/").errors, 1);
    EXPECT_EQ(fetch("http://127.0.0.1:0/").errors, 1);
}

TEST_F(HTTPGetTest, SilentServerTimesOut) {
    net::setTransferLimits({16, 2000, 1});
    RawServer silent("", true);
    auto out = fetch(silent.base() + "/x");
    EXPECT_EQ(out.errors, 1);
}

TEST_F(HTTPGetTest, HttpsSpeaksTlsAndFailsAgainstAPlainServer) {
    LoopbackServer server;
    std::string address = "https://127.0.0.1:" + std::to_string(server.port()) + "/x";
    EXPECT_EQ(fetch(address).errors, 1);
}

TEST_F(HTTPGetTest, HttpsChecksTheCertificateAndNeverRedirectsToHttp) {
    LoopbackServer plain;
    TlsServer secure({
        {"/x", "HTTP/1.1 200 OK\r\nContent-Length: 6\r\nConnection: close\r\n\r\nsecret"},
        {"/down", "HTTP/1.1 302 Found\r\nLocation: " + plain.base() +
                      "/leak\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"},
        {"/same", "HTTP/1.1 302 Found\r\nLocation: /x\r\nContent-Length: 0\r\n"
                  "Connection: close\r\n\r\n"},
    });
    // No authority vouches for the certificate: the request never goes out.
    EXPECT_EQ(fetch(secure.base() + "/x").errors, 1);
    EXPECT_EQ(secure.requests(), 0);
    // Trusted, the same server answers.
    auto limits = net::transferLimits();
    limits.trustedCertificates = secure.certificateFile();
    net::setTransferLimits(limits);
    EXPECT_EQ(fetch(secure.base() + "/x").text, "secret");
    EXPECT_EQ(fetch(secure.base() + "/same").text, "secret");
    EXPECT_EQ(fetch(secure.base() + "/down").errors, 1);
    EXPECT_EQ(plain.count(), 0u);
}

TEST_F(HTTPGetTest, AnswersOverTheCapFailUnread) {
    auto limits = net::transferLimits();
    limits.maxAnswerBytes = 100000;
    net::setTransferLimits(limits);
    LoopbackServer server;
    server.answer("/fits", {200, std::string(100000, 'a')});
    server.answer("/over", {200, std::string(100001, 'a')});
    EXPECT_EQ(fetch(server.base() + "/fits").done, 1);
    EXPECT_EQ(fetch(server.base() + "/over").errors, 1);
    // Without a length the answer is cut off at the cap.
    RawServer unsized("HTTP/1.0 200 OK\r\n\r\n" + std::string(100001, 'a'));
    EXPECT_EQ(fetch(unsized.base() + "/x").errors, 1);
}

TEST_F(HTTPGetTest, ADrippingServerHitsTheOverallDeadline) {
    auto limits = net::transferLimits();
    limits.idleTimeoutSec = 60;
    limits.overallTimeoutSec = 1;
    net::setTransferLimits(limits);
    RawServer drip("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + std::string(100, 'a'), false,
                   100);
    EXPECT_EQ(fetch(drip.base() + "/x").errors, 1);
}

TEST_F(HTTPGetTest, AtMostTheLimitRunAtOnceInOrder) {
    // The limit the process starts with (16), then one set by the caller. The
    // default run answers slowly so that all 16 are surely running together.
    // The vendor lane has slots of its own, fewer than the batch lane's.
    net::TransferLimits vendorSlots;
    vendorSlots.maxVendorTransfers = 3;
    for (const auto& [limits, lane, count, slowMs, atOnce] :
         {std::tuple{net::TransferLimits{}, net::Lane::Batch, 17, 3000, 16},
          std::tuple{net::TransferLimits{4}, net::Lane::Batch, 12, 150, 4},
          std::tuple{net::TransferLimits{}, net::Lane::Vendor, 5, 1000, 4},
          std::tuple{vendorSlots, net::Lane::Vendor, 8, 400, 3}}) {
        SCOPED_TRACE(count);
        LoopbackServer server;
        server.answerAll({200, "ok", "", "", slowMs});
        net::setTransferLimits(limits);
        Outcome out;
        std::vector<std::unique_ptr<THTTPGet>> requests;
        for (int i = 0; i < count; ++i) {
            requests.push_back(make(server.base() + "/" + std::to_string(i), out));
            requests.back()->RequestLane = lane;
            requests.back()->Start();
        }
        ASSERT_TRUE(platform.waitUntil([&] { return out.done == count; }));
        EXPECT_EQ(server.maxConcurrent(), atOnce);
    }

    LoopbackServer ordered;
    net::setTransferLimits({1, 2000, 2});
    Outcome out2;
    std::vector<std::unique_ptr<THTTPGet>> requests;
    for (int i = 0; i < 6; ++i) {
        requests.push_back(make(ordered.base() + "/" + std::to_string(i), out2));
        requests.back()->Start();
    }
    ASSERT_TRUE(platform.waitUntil([&] { return out2.done == 6; }));
    auto reqs = ordered.requests();
    ASSERT_EQ(reqs.size(), 6u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(reqs[i].path, "/" + std::to_string(i));
}

TEST_F(HTTPGetTest, StartLetsPendingCompletionsRun) {
    LoopbackServer server;
    Outcome out;
    auto r = make(server.base() + "/", out);
    int before = platform.processEventsCalls;
    r->Start();
    EXPECT_EQ(platform.processEventsCalls, before + 1);
    r->WaitThread = true;
    r->Start();
    EXPECT_EQ(platform.processEventsCalls, before + 2);
    platform.waitUntil([&] { return out.finished(); });
}
