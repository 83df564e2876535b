// A store that stops answering (a lock held elsewhere): fixed pages never wait
// on it, store requests beyond the bounded queue are answered "busy" at once,
// every statement gives up within its timeout, and /readyz tells.
#include <future>
#include <thread>

#include "server/pg_connection.h"
#include "server_fixture.h"
#include "sqlitedb/sqlite.h"
#include "support/client_targets.h"

using namespace std::chrono_literals;

namespace {

// Holds the store's tables from another connection, as a long transaction or
// a migration elsewhere would.
class StoreLock {
  public:
    StoreLock(StoreKind kind, const std::string& file, const std::string& uri) {
        if (kind == StoreKind::Postgres) {
            m_pg = std::make_unique<wycserver::PgConnection>(uri);
            m_pg->run("BEGIN");
            m_pg->run("LOCK TABLE pair_stats, accounts, throttle_events, posts"
                      " IN ACCESS EXCLUSIVE MODE");
        } else {
            m_sqlite = SqliteDb::openExisting(file);
            m_sqlite.exec("BEGIN EXCLUSIVE");
        }
    }
    void release() {
        if (m_pg) m_pg->run("ROLLBACK");
        if (m_sqlite.handle()) m_sqlite.exec("ROLLBACK");
        m_pg.reset();
        m_sqlite = SqliteDb();
    }
    ~StoreLock() { release(); }

  private:
    std::unique_ptr<wycserver::PgConnection> m_pg;
    SqliteDb m_sqlite;
};

HttpReply postFrom(int port, long timeoutMs, const std::string& id) {
    HttpClient c("127.0.0.1", port);
    c.setTimeoutMs(timeoutMs);
    return c.post("/post_test.asp", "id=" + id + "&content=x");
}

bool becomes(const std::function<bool()>& condition, std::chrono::milliseconds within) {
    const auto giveUp = std::chrono::steady_clock::now() + within;
    while (std::chrono::steady_clock::now() < giveUp) {
        if (condition()) return true;
        std::this_thread::sleep_for(50ms);
    }
    return condition();
}

class StallTest : public ServerTest {
  protected:
    void adjust(ServerOptions& opt) override {
        opt.storeThreads = 2;
        opt.maxWaitingStore = 2;
        opt.statementTimeoutMs = 20000;
        opt.lockTimeoutMs = 20000;
        opt.readyPingMs = 50;
    }
    int status(const std::string& target, long timeoutMs = 3000) {
        HttpClient c("127.0.0.1", server->port());
        c.setTimeoutMs(timeoutMs);
        auto res = c.get(target);
        return res ? res->status : 0;
    }
};

TEST_P(StallTest, FixedPagesNeverWaitOnAStalledStore) {
    ASSERT_TRUE(becomes([&] { return status("/readyz") == 200; }, 3s));
    StoreLock lock(GetParam(), dataFile, postgresUri);
    // Two posts hold both store threads, two more wait in the queue...
    std::vector<std::future<HttpReply>> held;
    for (int i = 0; i < 4; ++i) {
        held.push_back(std::async(std::launch::async, postFrom, server->port(), 30000L,
                                  "held" + std::to_string(i)));
        std::this_thread::sleep_for(100ms);
    }
    // ...so the next is answered "busy" at once.
    auto busy = postFrom(server->port(), 3000, "late");
    ASSERT_TRUE(busy);
    EXPECT_EQ(busy->status, 503);
    EXPECT_NE(busy->body.find("繁忙"), std::string::npos);
    // The fixed pages and the health check answer meanwhile; readiness tells.
    for (const char* page : {"/tychelp.html", "/softad/tyc.html", "/register.asp", "/healthz"})
        EXPECT_EQ(status(page), 200) << page;
    EXPECT_TRUE(becomes([&] { return status("/readyz") == 503; }, 3s));

    lock.release();
    for (auto& f : held) {
        auto res = f.get();
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200) << res->body;
    }
    EXPECT_TRUE(becomes([&] { return status("/readyz") == 200; }, 3s));
}

class StoreTimeoutTest : public StallTest {
  protected:
    void adjust(ServerOptions& opt) override {
        StallTest::adjust(opt);
        opt.statementTimeoutMs = 300;
        opt.lockTimeoutMs = 300;
    }
};

TEST_P(StoreTimeoutTest, AStatementThatCannotGoOnIsAnsweredBusySoon) {
    const std::string id = newUser("patient");
    sharePairs({{"美丽", "漂亮"}});
    {
        StoreLock lock(GetParam(), dataFile, postgresUri);
        for (const std::string& target :
             {std::string("/post_test.asp"), pointsTarget(id, "美丽", "漂亮", tokens[id])}) {
            HttpClient c("127.0.0.1", server->port());
            c.setTimeoutMs(3000);
            auto res = target[1] == 'p' ? c.post(target, "id=1&content=x") : c.get(target);
            ASSERT_TRUE(res) << target;
            EXPECT_EQ(res->status, 503) << target << ": " << res->body;
        }
    }
    EXPECT_EQ(postForm("/post_test.asp", "id=1&content=x")->status, 200);
    EXPECT_NE(pointsRequest(id, "美丽", "漂亮").find("|99|"), std::string::npos);
    HttpClient metrics("127.0.0.1", server->metricsPort());
    auto page = metrics.get("/metrics");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->body.find("wyc_store_errors_total{kind=\"busy\"} 0"), std::string::npos)
        << page->body;
}

WYC_ON_BOTH_STORES(StallTest);
WYC_ON_BOTH_STORES(StoreTimeoutTest);

} // namespace
