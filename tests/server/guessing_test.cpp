// Password guessing from many addresses, many accounts and many spellings:
// the limits per account and per network, what an address the account knows
// is spared, and the order in which the hashing threads take logins.
#include <sqlite3.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "protocol/codepage.h"
#include "server/pg_connection.h"
#include "server/recent_failures.h"
#include "server/work_pool.h"
#include "server_fixture.h"
#include "sqlitedb/sqlite.h"
#include "support/client_targets.h"

namespace {

bool accepted(const std::string& answer) {
    return answer.rfind("ok|", 0) == 0;
}

class GuessingTest : public ServerTest {
  protected:
    void adjust(ServerOptions& opt) override {
        opt.guessesPerAccount = 3;
        opt.guessesPerNetwork = 5;
    }
    // A login as the program sends it, from `address` (127.x.y.z).
    std::string loginFrom(const std::string& address, const std::string& account,
                          const std::string& password) {
        HttpClient c("127.0.0.1", server->port());
        c.setSourceAddress(address);
        auto res = c.get(loginTarget(account, password));
        return res ? res->body : std::string();
    }
    // Throttle keys in the store: the table itself, as an operator would look.
    std::int64_t throttleKeys() {
        const std::string sql = "SELECT COUNT(DISTINCT key) FROM throttle_events";
        if (GetParam() == StoreKind::Postgres)
            return wycserver::PgConnection(postgresUri).exec(sql).int64(0, 0);
        auto db = SqliteDb::openExisting(dataFile);
        Statement st(db, sql);
        st.step();
        return st.int64(0);
    }
};

TEST_P(GuessingTest, AnAccountTakesFewChecksFromAddressesItNeverUsed) {
    newUser("target", "right"); // known from 127.0.0.1
    // Three guesses from three networks are checked (and fail)...
    for (const char* address : {"127.1.0.1", "127.2.0.1", "127.3.0.1"})
        EXPECT_NE(loginFrom(address, "target", "guess").find("账号或密码错误"), std::string::npos)
            << address;
    // ...and then nothing from a new address is checked, not even the right password.
    const std::string refused = loginFrom("127.4.0.1", "target", "right");
    EXPECT_FALSE(accepted(refused));
    EXPECT_NE(refused.find("这个账号"), std::string::npos) << refused;
    // The owner, from where the account logged in before, is not locked out.
    EXPECT_TRUE(accepted(loginFrom("127.0.0.1", "target", "right")));
    // Other accounts from that address are not held up.
    signUp("bystander", "pw");
    EXPECT_TRUE(accepted(loginFrom("127.4.0.1", "bystander", "pw")));
}

TEST_P(GuessingTest, ANetworkTakesFewChecksWhateverTheAccounts) {
    for (int i = 0; i < 3; ++i)
        signUp("user" + std::to_string(i), "pw");
    const std::int64_t before = throttleKeys();
    // Five checks from 127.5.0.0/24: on accounts that exist and names that do not.
    const std::string names[] = {"user0", "user1", "nobody1", "nobody2", "user2"};
    for (int i = 0; i < 5; ++i)
        EXPECT_NE(loginFrom("127.5.0." + std::to_string(i + 1), names[i], "wrong").find("错误"),
                  std::string::npos);
    for (const char* name : {"user0", "nobody3", "nobody4"}) {
        const std::string refused = loginFrom("127.5.0.77", name, "pw");
        EXPECT_FALSE(accepted(refused)) << name;
        EXPECT_NE(refused.find("网络"), std::string::npos) << refused;
    }
    // Names that name no account leave no key of their own behind: the
    // network's counter, and one per account that exists.
    EXPECT_LE(throttleKeys() - before, 1 + 3 * 2);
    EXPECT_TRUE(accepted(loginFrom("127.6.0.1", "user0", "pw")));
}

// The program sends GBK, other clients UTF-8: both spell one account, and the
// failures of either count against it.
TEST_P(GuessingTest, GbkAndUtf8SpellingsAreOneAccount) {
    newUser("用户甲", "正确");
    for (int i = 0; i < 5; ++i) {
        const std::string account = i % 2 ? "用户甲" : g("用户甲");
        EXPECT_NE(login(account, "wrong" + std::to_string(i)).find("账号或密码错误"),
                  std::string::npos);
    }
    const std::string blocked = login(g("用户甲"), g("正确"));
    EXPECT_NE(blocked.find("过多"), std::string::npos) << blocked;
}

WYC_ON_BOTH_STORES(GuessingTest);

TEST(HashingOrder, LaterLanesWaitBehindEverythingInEarlierOnes) {
    wycserver::WorkPool pool(1, 3, 2);
    std::mutex gate;
    std::unique_lock hold(gate);
    std::atomic<bool> started{false};
    std::vector<std::string> order;
    std::mutex orderMutex;
    auto job = [&](std::string name) {
        return [&, name](bool) {
            std::lock_guard lock(orderMutex);
            order.push_back(name);
        };
    };
    ASSERT_TRUE(pool.submit([&](bool) {
        started = true;
        std::lock_guard wait(gate);
    }));
    while (!started)
        std::this_thread::yield();
    for (const char* name : {"suspect 1", "suspect 2", "suspect 3"})
        EXPECT_TRUE(pool.submit(job(name), 1));
    EXPECT_FALSE(pool.submit(job("suspect 4"), 1)); // that lane is full...
    EXPECT_TRUE(pool.submit(job("user 1"), 0));     // ...the first is not
    // One found out while it waited: when its turn comes it goes to the back.
    std::atomic<bool> foundOut{false};
    EXPECT_TRUE(pool.submit(job("guesser"), 0, [&] { return std::size_t{foundOut ? 1u : 0u}; }));
    EXPECT_TRUE(pool.submit(job("user 2"), 0));
    EXPECT_EQ(pool.waiting(), 6u);
    foundOut = true;
    hold.unlock();
    for (int i = 0; i < 1000 && pool.waiting() + pool.running() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    pool.stop();
    EXPECT_EQ(order, (std::vector<std::string>{"user 1", "user 2", "suspect 1", "suspect 2",
                                               "suspect 3", "guesser"}));
}

// However many suspects wait, one thread stays free for the first lane: a real
// user's login never waits for a guess to be hashed.
TEST(HashingOrder, SuspectsNeverTakeTheLastThread) {
    wycserver::WorkPool pool(2, 10, 2);
    std::mutex gate;
    std::unique_lock hold(gate);
    std::atomic<int> suspectsRunning{0};
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(pool.submit(
            [&](bool) {
                ++suspectsRunning;
                std::lock_guard wait(gate);
            },
            1));
    std::atomic<bool> userDone{false};
    ASSERT_TRUE(pool.submit([&](bool) { userDone = true; }, 0));
    for (int i = 0; i < 1000 && !userDone; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_TRUE(userDone);
    EXPECT_EQ(suspectsRunning.load(), 1);
    hold.unlock();
    pool.stop();
}

TEST(HashingOrder, FailuresMakeTheNameAndTheNetworkSuspectForAWhile) {
    auto now = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
    wycserver::RecentFailures recent(std::chrono::minutes(10), [&] { return now; });
    recent.failed("guessed", "203.0.113.7");
    EXPECT_TRUE(recent.suspect("guessed", "198.51.100.1"));  // the name
    EXPECT_TRUE(recent.suspect("someone", "203.0.113.200")); // the network
    EXPECT_FALSE(recent.suspect("someone", "198.51.100.1"));
    now += std::chrono::minutes(10);
    EXPECT_FALSE(recent.suspect("guessed", "203.0.113.7"));
}

} // namespace
