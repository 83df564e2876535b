// The nginx example of deploy/, as shipped, in front of two instances: what
// its logs keep of a login, and where requests go while an instance is down.
#include <chrono>
#include <thread>

#include "server_fixture.h"
#include "support/client_targets.h"
#include "support/nginx_front.h"

namespace {

class DeployTest : public ServerTest {
  protected:
    void adjust(ServerOptions& opt) override {
        opt.trustedProxy = "127.0.0.1";
        opt.metrics = false;
    }
};

TEST_P(DeployTest, TheExampleLogsNoPasswordAndGoesAroundADownInstance) {
    if (!NginxFront::available()) GTEST_SKIP() << "no nginx";
    const std::string id = newUser("traveller", "pass-word-1");
    ServerOptions opt = serverOptions();
    opt.trustedProxy = "127.0.0.1";
    opt.metrics = false;
    auto second = std::make_unique<wycserver::VendorServer>(opt);
    const int secondPort = second->start();
    NginxFront nginx(std::filesystem::path(WYC_SOURCE_DIR) / "deploy" / "nginx-wyc.conf",
                     dir->path() / "nginx", {server->port(), secondPort});
    HttpClient through("127.0.0.1", nginx.port());
    for (int i = 0; i < 4; ++i) {
        auto res = through.get(loginTarget("traveller", "pass-word-1"));
        ASSERT_TRUE(res);
        EXPECT_EQ(res->body.rfind("ok|" + id + "|", 0), 0u) << res->body;
    }
    // One instance goes away: its share of the requests goes to the other.
    second->stop();
    second.reset();
    for (int i = 0; i < 4; ++i) {
        auto res = through.get(loginTarget("traveller", "pass-word-1"));
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200) << res->body;
    }
    // Both gone: nginx records the failure of the login, without its query.
    server->stop();
    through.get(loginTarget("traveller", "pass-word-1"));
    through.get("/tychelp.html?V2.0");

    // nginx writes a request's line once it has answered it: a moment later.
    std::string access;
    for (int i = 0; i < 100; ++i) {
        access = nginx.accessLog();
        if (access.find("/tychelp.html HTTP/1.1\" 502") != std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_NE(access.find("\"GET /login_client.asp HTTP/1.1\" 200"), std::string::npos) << access;
    EXPECT_NE(access.find("\"GET /tychelp.html HTTP/1.1\" 502"), std::string::npos) << access;
    const std::string errors = nginx.errorLog();
    EXPECT_NE(errors.find("/tychelp.html?V2.0"), std::string::npos) << errors; // it does log those
    for (const std::string& log : {access, errors}) {
        EXPECT_EQ(log.find("pass-word-1"), std::string::npos) << log;
        EXPECT_EQ(log.find("qzvpassword"), std::string::npos) << log;
    }
}

WYC_ON_SQLITE(DeployTest);

} // namespace
