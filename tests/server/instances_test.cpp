// Several server instances over one store, as behind a load balancer: what one
// instance learns (logins, throttles, points, paid pairs) holds on the other,
// and requests repeated by a proxy count once. Also moving a SQLite store to
// PostgreSQL, the layout number, and client addresses behind a trusted proxy.
#include <atomic>
#include <thread>

#include "protocol/cipher_gbk.h"
#include "protocol/codepage.h"
#include "server/forwarded.h"
#include "server/passwords.h"
#include "server/pg_connection.h"
#include "server/protocol.h"
#include "server/sqlite_storage.h"
#include "server/store_copy.h"
#include "server_fixture.h"
#include "sqlitedb/sqlite.h"
#include "support/client_targets.h"

namespace {

bool accepted(const std::string& answer) {
    return cp::utf8ToGbk(answer).find('|') != std::string::npos;
}

// Field 1 of a points answer ("ok|balance|message").
std::string balanceOf(const std::string& answer) {
    const auto first = answer.find('|'), second = answer.find('|', first + 1);
    return answer.substr(first + 1, second - first - 1);
}

// A login answer without its token: "ok|id|points".
std::string withoutToken(const std::string& answer) {
    return answer.substr(0, answer.rfind('|'));
}

class InstancesTest : public ServerTest {
  protected:
    void SetUp() override {
        ServerTest::SetUp();
        if (IsSkipped()) return;
        second = std::make_unique<wycserver::VendorServer>(serverOptions());
        second->start();
    }
    void TearDown() override {
        if (second) second->stop();
        second.reset();
        ServerTest::TearDown();
    }
    // Even-numbered requests go to the first instance, odd ones to the second.
    int portFor(int i) const { return i % 2 ? second->port() : server->port(); }
    std::string on(int i, const std::string& target) {
        HttpClient c("127.0.0.1", portFor(i));
        auto res = c.get(target);
        return res ? res->body : std::string();
    }

    std::unique_ptr<wycserver::VendorServer> second;
};

TEST_P(InstancesTest, LoginsAndThrottlesHoldOnEveryInstance) {
    const std::string id = newUser("roamer", "pw"); // logged in on the first
    sharePairs({{"美丽", "漂亮"}});
    EXPECT_EQ(balanceOf(on(1, pointsTarget(id, "美丽", "漂亮", tokens[id]))), "99");
    EXPECT_NE(on(1, shareTarget(id, "非常", "十分", tokens[id])).find("(109)"), std::string::npos);

    for (int i = 0; i < 5; ++i)
        ASSERT_FALSE(accepted(on(0, loginTarget("roamer", "wrong"))));
    const std::string blocked = on(1, loginTarget("roamer", "pw"));
    EXPECT_NE(blocked.find("过多"), std::string::npos) << blocked;
}

TEST_P(InstancesTest, TwoHundredConcurrentDownloadsSpendExactlyTheBalance) {
    const std::string id = newUser("crowd", "pw");
    std::vector<std::pair<std::string, std::string>> shared;
    for (int i = 0; i < 200; ++i)
        shared.emplace_back("词" + std::to_string(i), "新");
    sharePairs(shared);
    const std::string token = tokens[id];
    std::atomic<int> charged{0}, refused{0}, unanswered{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            HttpClient c("127.0.0.1", portFor(t));
            for (int i = 0; i < 25; ++i) {
                auto res = c.get(pointsTarget(id, "词" + std::to_string(t * 25 + i), "新", token));
                if (!res)
                    ++unanswered;
                else if (accepted(res->body))
                    ++charged;
                else if (res->body.find("积分不足") != std::string::npos)
                    ++refused;
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(unanswered.load(), 0);
    EXPECT_EQ(charged.load(), 100);
    EXPECT_EQ(refused.load(), 100);
    EXPECT_EQ(openStore()->findAccount(std::stoll(id))->points, 0);
}

TEST_P(InstancesTest, RepeatedDownloadsAndSharesCountOnce) {
    const std::string id = newUser("retrier", "pw");
    sharePairs({{"重复", "再来"}, {"重", "复再来"}});
    const std::string token = tokens[id];
    // The same download, sent at once to both instances again and again.
    std::vector<std::string> answers(10);
    std::vector<std::thread> threads;
    for (int i = 0; i < 10; ++i)
        threads.emplace_back(
            [&, i] { answers[i] = on(i, pointsTarget(id, "重复", "再来", token)); });
    for (auto& t : threads)
        t.join();
    for (const auto& a : answers)
        EXPECT_EQ(balanceOf(a), "99") << a;
    const std::string later = on(1, pointsTarget(id, "重复", "再来", token));
    EXPECT_EQ(balanceOf(later), "99");
    EXPECT_NE(later.find("不再扣分"), std::string::npos) << later;
    // A pair whose words run together differently is another pair.
    EXPECT_EQ(balanceOf(on(0, pointsTarget(id, "重", "复再来", token))), "98");

    // The same share, likewise: one reward.
    threads.clear();
    for (int i = 0; i < 10; ++i)
        threads.emplace_back(
            [&, i] { answers[i] = on(i, shareTarget(id, "原词", "新词", token)); });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(
        std::count_if(answers.begin(), answers.end(),
                      [](const std::string& a) { return a.find("共享成功") != std::string::npos; }),
        1);
    EXPECT_EQ(openStore()->findAccount(std::stoll(id))->points, 108);
    EXPECT_EQ(server->storage().pairCount(), 3);
}

TEST_P(InstancesTest, AStoreOfANewerLayoutIsRefused) {
    server->stop();
    second->stop();
    if (GetParam() == StoreKind::Sqlite) {
        auto db = SqliteDb::openExisting(dataFile);
        db.exec("UPDATE schema_version SET version = 99");
    } else {
        wycserver::PgConnection(postgresUri).run("UPDATE schema_version SET version = 99");
    }
    try {
        openStore();
        FAIL() << "opened";
    } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find("newer server"), std::string::npos) << e.what();
    }
}

WYC_ON_BOTH_STORES(InstancesTest);

class CopyTest : public ServerTest {};

TEST_P(CopyTest, ASqliteStoreMovesToPostgresWhole) {
    const std::string file = (dir->path() / "old.db").string();
    std::int64_t id = 0, balance = 0;
    const std::string raw("id=7&content=\xff\x00raw", 17);
    {
        wycserver::SqliteStorage old(file, true);
        id = old.createAccount("mover", wycserver::hashPassword("pw"), "-", "r1")->id;
        wycserver::ShareRequest share;
        share.userId = id;
        share.network = "10.0.0.0/24";
        share.ow = "搬家";
        share.nw = "迁移";
        share.reward = 10;
        share.day = "2024-01-01";
        share.dailyLimit = share.networkDailyLimit = 100;
        share.request = "r2";
        ASSERT_EQ(old.sharePair(share, balance), wycserver::ShareResult::Accepted);
        const auto& [ow, nw] = wycserver::starterPairs().front();
        ASSERT_EQ(old.chargeDownload(id, ow, nw, 1, "r3", balance),
                  wycserver::DownloadResult::Charged);
        old.addPost("7", raw, "raw", 17, "10.0.0.1");
    }
    const auto n = wycserver::copySqliteToPostgres(file, postgresUri);
    EXPECT_EQ(n.accounts, 1);
    // The starter pairs and the shared one.
    EXPECT_EQ(n.pairs, static_cast<std::int64_t>(wycserver::starterPairs().size()) + 1);
    EXPECT_EQ(n.posts, 1);
    EXPECT_EQ(n.downloads, 1);

    EXPECT_EQ(withoutToken(login("mover", "pw")), "ok|" + std::to_string(id) + "|109");
    EXPECT_NE(pagePlain().find("[@m@]搬家[@m@]迁移[@m@]" + std::to_string(id)), std::string::npos);
    const auto& [ow, nw] = wycserver::starterPairs().front();
    EXPECT_EQ(balanceOf(pointsRequest(std::to_string(id), ow, nw)), "109");
    // The ledger came along and still adds up.
    std::int64_t sum = 0;
    for (const auto& e : server->storage().ledger(id))
        sum += e.change;
    EXPECT_EQ(sum, 109);
    const auto posts = server->storage().latestPosts(5);
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(server->storage().postContent(posts[0].seq), raw);
    // New rows continue after the copied ones.
    EXPECT_GT(std::stoll(newUser("newcomer")), id);
    EXPECT_NE(shareRequest(std::to_string(id), "新来", "后到").find("共享成功"), std::string::npos);
    // Copying again would mix two stores.
    EXPECT_THROW(wycserver::copySqliteToPostgres(file, postgresUri), DbError);
    EXPECT_EQ(withoutToken(login("mover", "pw")), "ok|" + std::to_string(id) + "|119");
}

WYC_ON_POSTGRES(CopyTest);

class DatabaseLinkTest : public ServerTest {};

TEST_P(DatabaseLinkTest, AServerCarriesOnWhenItsDatabaseLinksDrop) {
    const std::string id = newUser("steady", "pw");
    sharePairs({{"之前", "词"}, {"之后", "词"}});
    EXPECT_EQ(balanceOf(pointsRequest(id, "之前", "词")), "99");
    // What a restart of the database does to every link the server holds.
    const auto dropped = wycserver::PgConnection(postgresUri)
                             .exec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity"
                                   " WHERE application_name = $1 AND pid <> pg_backend_pid()",
                                   {pgSchema});
    ASSERT_GT(dropped.rows(), 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_NE(pagePlain().find("[@br@]"), std::string::npos);
    EXPECT_EQ(balanceOf(pointsRequest(id, "之后", "词")), "98");
    EXPECT_EQ(withoutToken(login("steady", "pw")), "ok|" + id + "|98");
}

WYC_ON_POSTGRES(DatabaseLinkTest);

// A data file of the first layout, which kept each post twice.
TEST(StoreUpgrade, PostsOfTheFirstLayoutMoveToTheCurrentOne) {
    TempDir dir;
    const std::string file = (dir.path() / "first.db").string();
    {
        auto db = SqliteDb::openOrCreate(file);
        db.exec("CREATE TABLE shared_pairs (net_id INTEGER PRIMARY KEY AUTOINCREMENT,"
                " ow TEXT NOT NULL, nw TEXT NOT NULL, sharer INTEGER NOT NULL,"
                " created TEXT NOT NULL DEFAULT (datetime('now')), UNIQUE (ow, nw))");
        db.exec("CREATE TABLE posts (seq INTEGER PRIMARY KEY AUTOINCREMENT,"
                " received TEXT NOT NULL DEFAULT (datetime('now')), post_id TEXT NOT NULL,"
                " content TEXT NOT NULL, raw_body BLOB NOT NULL, remote TEXT NOT NULL)");
        db.exec("INSERT INTO posts (post_id, content, raw_body, remote)"
                " VALUES ('3', '测试', 'id=3&content=x', '10.0.0.2')");
    }
    wycserver::SqliteStorage store(file, true);
    const auto posts = store.latestPosts(5);
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].id, "3");
    EXPECT_EQ(store.postContent(posts[0].seq), "测试");
    // The starter pairs come in as the oldest, so that sharing them earns nothing.
    EXPECT_EQ(store.pairCount(), static_cast<std::int64_t>(wycserver::starterPairs().size()));
}

TEST(TrustedProxy, TakesTheClientFromTheProxysHeadersOnly) {
    using wycserver::clientAddress;
    const std::optional<std::string> none;
    struct Case {
        std::string peer, proxy;
        std::optional<std::string> realIp, forwarded;
        std::string expected;
    } cases[] = {
        {"10.0.0.9", "", std::string("1.2.3.4"), none, "10.0.0.9"},          // no proxy trusted
        {"10.0.0.9", "127.0.0.1", std::string("1.2.3.4"), none, "10.0.0.9"}, // not the proxy
        {"127.0.0.1", "127.0.0.1", std::string(" 1.2.3.4 "), none, "1.2.3.4"},
        {"127.0.0.1", "127.0.0.1", none, std::string("6.6.6.6, 5.6.7.8"), "5.6.7.8"},
        {"127.0.0.1", "127.0.0.1", std::string("bogus"), std::string("5.6.7.8"), "5.6.7.8"},
        {"127.0.0.1", "127.0.0.1", none, std::string("5.6.7.8, x"), "127.0.0.1"},
        {"127.0.0.1", "127.0.0.1", std::string("::ffff:1.2.3.4"), none, "::ffff:1.2.3.4"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(clientAddress(c.peer, c.proxy, c.realIp, c.forwarded), c.expected)
            << c.peer << " " << c.realIp.value_or("-") << " " << c.forwarded.value_or("-");
}

class ProxyTest : public ServerTest {
  protected:
    void adjust(ServerOptions& opt) override { opt.trustedProxy = "127.0.0.1"; }
};

TEST_P(ProxyTest, LoginRecordsFollowTheForwardedClient) {
    signUp("behind", "pw");
    sharePairs({{"甲", "乙"}});
    HttpClient alice("127.0.0.1", server->port()), bob("127.0.0.1", server->port());
    alice.addHeader("X-Real-IP: 203.0.113.5");
    bob.addHeader("X-Real-IP: 203.0.113.6");
    const std::string answer = alice.get(loginTarget("behind", "pw"))->body;
    ASSERT_TRUE(accepted(answer)) << answer;
    const std::string id = answer.substr(3, answer.find('|', 3) - 3);
    const std::string token = loginTokenOf(answer);
    EXPECT_FALSE(accepted(bob.get(pointsTarget(id, "甲", "乙", token))->body));
    EXPECT_FALSE(accepted(getBody(pointsTarget(id, "甲", "乙", token)))); // the proxy itself
    // From elsewhere the header proves nothing.
    HttpClient mallory("127.0.0.1", server->port());
    mallory.setSourceAddress("127.0.0.2");
    mallory.addHeader("X-Real-IP: 203.0.113.5");
    EXPECT_FALSE(accepted(mallory.get(pointsTarget(id, "甲", "乙", token))->body));
    EXPECT_TRUE(accepted(alice.get(pointsTarget(id, "甲", "乙", token))->body));
}

WYC_ON_SQLITE(ProxyTest);

} // namespace
