// What keeps points from being spent or earned for someone else: points and
// share requests count only for an account that logged in from the same client
// address within a day, and shares are capped per account and day.
#include "protocol/codepage.h"
#include "protocol/cipher_gbk.h"
#include "server/abuse_limits.h"
#include "server/client_answers.h"
#include "server/passwords.h"
#include "server/protocol.h"
#include "server/sqlite_storage.h"
#include "server_fixture.h"

namespace {

std::string shareQuery(const std::string& userId, const std::string& owUtf8,
                       const std::string& nwUtf8) {
    return cipher::encryptGbk(userId) + "|" + cipher::encryptGbk(cp::utf8ToGbk(owUtf8)) + "|" +
           cipher::encryptGbk(cp::utf8ToGbk(nwUtf8));
}

std::string pointsQuery(const std::string& userId) {
    return cipher::encryptGbk(userId + "[@]a[@]b[@]addword");
}

bool accepted(const std::string& answer) {
    return cp::utf8ToGbk(answer).find('|') != std::string::npos ||
           answer.find("共享成功") != std::string::npos;
}

class SafeguardTest : public ServerTest {};

TEST_P(SafeguardTest, AnotherAddressCannotSpendOrEarnForAnAccount) {
    const std::string first = newUser("first"); // logged in from 127.0.0.1
    signUp("second", "secret");
    HttpClient elsewhere("127.0.0.1", server->port());
    elsewhere.setSourceAddress("127.0.0.2");
    auto from = [&](const std::string& target) {
        auto res = elsewhere.get(target);
        EXPECT_TRUE(res) << target;
        return res ? res->body : std::string();
    };
    const std::string login = from("/login_client.asp?qzvemail=second&qzvpassword=secret&key=" +
                                   wycserver::loginKey("second", "secret"));
    ASSERT_EQ(login.rfind("ok|", 0), 0u) << login;
    const std::string second = login.substr(3, login.rfind('|') - 3);

    // The second account, from its own address, for the first.
    const std::string refusals[] = {
        from("/keywords_point.asp?q=" + pointsQuery(first)),
        from("/sendkeywords.asp?q=" + shareQuery(first, "美丽", "漂亮")),
        // and the first's address for the second
        getBody("/keywords_point.asp?q=" + pointsQuery(second)),
        getBody("/sendkeywords.asp?q=" + shareQuery(second, "美丽", "漂亮")),
    };
    for (const auto& r : refusals) {
        EXPECT_FALSE(accepted(r)) << r;
        EXPECT_NE(r.find("请先登录"), std::string::npos) << r;
    }
    EXPECT_EQ(server->storage().pairCount(), 0);
    EXPECT_EQ(server->storage().findAccount(std::stoll(first))->points, 100);

    // Each from where it logged in.
    EXPECT_TRUE(accepted(from("/keywords_point.asp?q=" + pointsQuery(second))));
    EXPECT_TRUE(accepted(getBody("/sendkeywords.asp?q=" + shareQuery(first, "美丽", "漂亮"))));
}

// The rules on a clock of their own, without the transport.
TEST(ClientAnswersRules, LoginsLastADayAndSharesAreCappedPerChinaDay) {
    TempDir dir;
    wycserver::SqliteStorage storage((dir.path() / "s.db").string(), false);
    wycserver::VerifiedPasswords verified;
    wycserver::MemoryAbuseLimits limits({});
    wycserver::ClientAnswers answers(storage, verified, limits);
    std::int64_t now = 1704124740; // 2024-01-01 15:59 UTC, 23:59 in China
    answers.setClock([&now] { return now; });
    const auto account = storage.createAccount("u", wycserver::hashPassword("pw"), "-");
    const std::string id = std::to_string(account->id);
    const std::string client = "10.1.2.3";
    auto login = [&] {
        return answers.login("qzvemail=u&qzvpassword=pw&key=" + wycserver::loginKey("u", "pw"),
                             client);
    };
    ASSERT_EQ(login().rfind("ok|", 0), 0u);

    now += 24 * 60 * 60 - 60;
    EXPECT_TRUE(accepted(answers.points(pointsQuery(id), client)));
    now += 120; // the login is more than a day old
    EXPECT_FALSE(accepted(answers.points(pointsQuery(id), client)));
    login();
    EXPECT_TRUE(accepted(answers.points(pointsQuery(id), client)));

    now = 1704124740 + 24 * 60 * 60; // 23:59 in China, a day later
    login();
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(accepted(answers.share(shareQuery(id, "原" + std::to_string(i), "新"), client)))
            << i;
    const std::string refused = answers.share(shareQuery(id, "多一个", "新"), client);
    EXPECT_NE(refused.find("每天最多共享100个词"), std::string::npos) << refused;
    EXPECT_EQ(cp::utf8ToGbk(refused).find('|'), std::string::npos);
    EXPECT_EQ(storage.pairCount(), 100);
    const auto points = storage.findAccount(account->id)->points;

    now += 120; // past midnight in China
    EXPECT_TRUE(accepted(answers.share(shareQuery(id, "多一个", "新"), client)));
    EXPECT_EQ(storage.findAccount(account->id)->points, points + 10);
}

WYC_ON_BOTH_STORES(SafeguardTest);

} // namespace
