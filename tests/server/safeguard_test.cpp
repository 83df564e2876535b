// What keeps points from being spent or earned for someone else: points and
// share requests count only with a live login token of that account, from a
// client address it logged in from within a day; shares are capped per
// account and per network and day.
#include "protocol/cipher_gbk.h"
#include "protocol/codepage.h"
#include "server/abuse_limits.h"
#include "server/client_answers.h"
#include "server/passwords.h"
#include "server/protocol.h"
#include "server/recent_failures.h"
#include "server/sqlite_storage.h"
#include "server_fixture.h"
#include "support/client_targets.h"

namespace {

std::string shareQuery(const std::string& userId, const std::string& owUtf8,
                       const std::string& nwUtf8, const std::string& token) {
    return "q=" + cipher::encryptGbk(userId) + "|" + cipher::encryptGbk(cp::utf8ToGbk(owUtf8)) +
           "|" + cipher::encryptGbk(cp::utf8ToGbk(nwUtf8)) + tokenParameter(token);
}

std::string pointsQuery(const std::string& userId, const std::string& token) {
    return "q=" + cipher::encryptGbk(userId + "[@]a[@]b[@]addword") + tokenParameter(token);
}

bool accepted(const std::string& answer) {
    return cp::utf8ToGbk(answer).find('|') != std::string::npos ||
           answer.find("共享成功") != std::string::npos;
}

class SafeguardTest : public ServerTest {};

TEST_P(SafeguardTest, AnotherAddressCannotSpendOrEarnForAnAccount) {
    sharePairs({{"a", "b"}});
    const std::string first = newUser("first"); // logged in from 127.0.0.1
    signUp("second", "secret");
    HttpClient elsewhere("127.0.0.1", server->port());
    elsewhere.setSourceAddress("127.0.0.2");
    auto from = [&](const std::string& target) {
        auto res = elsewhere.get(target);
        EXPECT_TRUE(res) << target;
        return res ? res->body : std::string();
    };
    const std::string login = from(loginTarget("second", "secret"));
    ASSERT_EQ(login.rfind("ok|", 0), 0u) << login;
    const std::string second = login.substr(3, login.find('|', 3) - 3);
    tokens[second] = loginTokenOf(login);

    // Each account's own token, from the other account's address.
    const std::string refusals[] = {
        from("/keywords_point.asp?" + pointsQuery(first, tokens[first])),
        from("/sendkeywords.asp?" + shareQuery(first, "美丽", "漂亮", tokens[first])),
        getBody("/keywords_point.asp?" + pointsQuery(second, tokens[second])),
        getBody("/sendkeywords.asp?" + shareQuery(second, "美丽", "漂亮", tokens[second])),
    };
    for (const auto& r : refusals) {
        EXPECT_FALSE(accepted(r)) << r;
        EXPECT_NE(r.find("请先登录"), std::string::npos) << r;
    }
    EXPECT_EQ(server->storage().pairCount(), 1);
    EXPECT_EQ(server->storage().findAccount(std::stoll(first))->points, 100);

    // Each from where it logged in.
    EXPECT_TRUE(accepted(from("/keywords_point.asp?" + pointsQuery(second, tokens[second]))));
    EXPECT_TRUE(
        accepted(getBody("/sendkeywords.asp?" + shareQuery(first, "美丽", "漂亮", tokens[first]))));
}

// The cipher key is in every copy of the program and ids are public, so a
// request from the right address proves nothing without the token.
TEST_P(SafeguardTest, PointsAndSharesNeedALiveTokenOfThatAccount) {
    sharePairs({{"a", "b"}});
    const std::string code = recoveryCodeIn(signUp("owner", "pw"));
    const std::string owner = newUser("owner", "pw");
    const std::string neighbour = newUser("neighbour", "pw"); // the same address
    const std::string ownerToken = tokens[owner];
    int shares = 0;
    auto tryBoth = [&](const std::string& token) {
        const std::string word = "词" + std::to_string(++shares);
        return std::make_pair(getBody("/keywords_point.asp?" + pointsQuery(owner, token)),
                              getBody("/sendkeywords.asp?" + shareQuery(owner, word, "新", token)));
    };
    struct Case {
        const char* what;
        std::string token;
    };
    const Case refused[] = {
        {"no token", ""},
        {"a made-up token", std::string(32, 'a')},
        {"another account's token", tokens[neighbour]},
        {"the token with one digit changed",
         ownerToken.substr(0, ownerToken.size() - 1) + (ownerToken.back() == '0' ? "1" : "0")},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.what);
        const auto [points, share] = tryBoth(c.token);
        EXPECT_FALSE(accepted(points)) << points;
        EXPECT_FALSE(accepted(share)) << share;
        EXPECT_NE(points.find("请先登录"), std::string::npos) << points;
    }
    EXPECT_EQ(server->storage().findAccount(std::stoll(owner))->points, 100);
    EXPECT_TRUE(accepted(tryBoth(ownerToken).first));

    // A new password (here through the recovery page) ends every token.
    auto res = postForm("/findpwd.asp",
                        "account=owner&code=" + formEncode(code) + "&password=new&password2=new");
    ASSERT_TRUE(res);
    ASSERT_NE(res->body.find("密码已重新设置"), std::string::npos);
    EXPECT_EQ(res->header("cache-control"), "no-store"); // the page shows a recovery code
    const auto [points, share] = tryBoth(ownerToken);
    EXPECT_FALSE(accepted(points)) << points;
    EXPECT_FALSE(accepted(share)) << share;
    ASSERT_EQ(login("owner", "new").rfind("ok|", 0), 0u);
    EXPECT_NE(tokens[owner], ownerToken);
    EXPECT_TRUE(accepted(tryBoth(tokens[owner]).second));
}

// The rules on a clock of their own, without the transport, on each store.
class ClientAnswersRules : public ServerTest {
  protected:
    void SetUp() override {
        ServerTest::SetUp();
        if (IsSkipped()) return;
        store = openStore();
        answers = std::make_unique<wycserver::ClientAnswers>(*store, verified, limits, recent);
        answers->setClock([this] { return now; });
    }
    void TearDown() override {
        answers.reset();
        store.reset();
        ServerTest::TearDown();
    }
    // Signs up and logs in `name` from `client`; its id and token.
    std::pair<std::string, std::string> user(const std::string& name, const std::string& client) {
        const auto account = store->createAccount(name, wycserver::hashPassword("pw"), "-", "");
        return {std::to_string(account->id), token(name, client)};
    }
    std::string token(const std::string& name, const std::string& client) {
        const auto answer = answers->login(
            "qzvemail=" + name + "&qzvpassword=pw&key=" + wycserver::loginKey(name, "pw"),
            {client, "test"});
        EXPECT_EQ(answer.text.rfind("ok|", 0), 0u) << answer.text;
        return loginTokenOf(answer.text);
    }
    std::string share(const std::string& id, const std::string& ow, const std::string& token,
                      const std::string& client) {
        return answers->share(shareQuery(id, ow, "新", token), {client, "r"}).text;
    }

    std::unique_ptr<wycserver::Storage> store;
    wycserver::VerifiedPasswords verified;
    wycserver::MemoryAbuseLimits limits{{}};
    wycserver::RecentFailures recent;
    std::unique_ptr<wycserver::ClientAnswers> answers;
    std::int64_t now = 1704124740; // 2024-01-01 15:59 UTC, 23:59 in China
};

TEST_P(ClientAnswersRules, LoginsLastADayAndSharesAreCappedPerChinaDay) {
    sharePairs({{"a", "b"}});
    const std::string client = "10.1.2.3";
    auto [id, token] = user("u", client);
    auto points = [&] { return answers->points(pointsQuery(id, token), {client, "r"}).text; };

    now += 24 * 60 * 60 - 60;
    EXPECT_TRUE(accepted(points()));
    now += 120; // the login is more than a day old
    EXPECT_FALSE(accepted(points()));
    token = this->token("u", client);
    EXPECT_TRUE(accepted(points()));

    now = 1704124740 + 24 * 60 * 60; // 23:59 in China, a day later
    token = this->token("u", client);
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(accepted(share(id, "原" + std::to_string(i), token, client))) << i;
    const std::string refused = share(id, "多一个", token, client);
    EXPECT_NE(refused.find("每天最多共享100个词"), std::string::npos) << refused;
    EXPECT_EQ(cp::utf8ToGbk(refused).find('|'), std::string::npos);
    EXPECT_EQ(store->pairCount(), 101);
    const auto before = store->findAccount(std::stoll(id))->points;

    now += 120; // past midnight in China
    token = this->token("u", client);
    EXPECT_TRUE(accepted(share(id, "多一个", token, client)));
    EXPECT_EQ(store->findAccount(std::stoll(id))->points, before + 10);
}

// A login counts for exactly a day: a share and a download at its last
// second are taken, a second later they are not.
TEST_P(ClientAnswersRules, ALoginCountsToTheLastSecondOfItsDay) {
    sharePairs({{"a", "b"}});
    const std::string client = "10.1.2.3";
    const std::int64_t loggedIn = now;
    const auto [id, token] = user("u", client);
    const std::int64_t day = wycserver::Storage::kLoginSeconds;
    for (const auto& [after, live] : {std::pair{day, true}, {day + 1, false}}) {
        SCOPED_TRACE(after);
        now = loggedIn + after;
        EXPECT_EQ(accepted(share(id, "边界" + std::to_string(after), token, client)), live);
        EXPECT_EQ(accepted(answers->points(pointsQuery(id, token), {client, "r"}).text), live);
    }
}

// Junk shared through many accounts from one network stops at the network's
// daily allowance; another network shares on.
TEST_P(ClientAnswersRules, SharesAreCappedPerNetworkToo) {
    const auto limit = wycserver::ClientAnswers::kSharesPerNetworkPerDay;
    int shared = 0;
    for (int a = 0; shared < limit; ++a) {
        const std::string client = "10.9.8." + std::to_string(a + 1);
        const auto [id, token] = user("junk" + std::to_string(a), client);
        for (int i = 0; i < wycserver::ClientAnswers::kSharesPerDay && shared < limit;
             ++i, ++shared)
            ASSERT_TRUE(accepted(share(id, "垃圾" + std::to_string(shared), token, client)))
                << shared;
    }
    const auto [id, token] = user("late", "10.9.8.200");
    const std::string refused = share(id, "再来", token, "10.9.8.200");
    EXPECT_FALSE(accepted(refused));
    EXPECT_NE(refused.find("网络"), std::string::npos) << refused;
    const auto [other, otherToken] = user("elsewhere", "10.9.9.1");
    EXPECT_TRUE(accepted(share(other, "再来", otherToken, "10.9.9.1")));
    EXPECT_EQ(store->pairCount(), limit + 1);
}

WYC_ON_BOTH_STORES(SafeguardTest);
WYC_ON_BOTH_STORES(ClientAnswersRules);

} // namespace
