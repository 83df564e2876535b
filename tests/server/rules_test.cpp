// The points rules and the shared thesaurus pages.
#include <atomic>
#include <thread>

#include "protocol/cipher_gbk.h"
#include "protocol/codepage.h"
#include "server/storage.h"
#include "server_fixture.h"

namespace {

// The program converts answers to GBK before it looks for "|".
bool isRefusal(const std::string& answer) {
    return !answer.empty() && cp::utf8ToGbk(answer).find('|') == std::string::npos;
}

std::vector<std::string> splitOn(const std::string& text, const std::string& sep) {
    std::vector<std::string> out;
    std::size_t at = 0;
    for (;;) {
        const auto next = text.find(sep, at);
        if (next == std::string::npos) {
            out.push_back(text.substr(at));
            return out;
        }
        out.push_back(text.substr(at, next - at));
        at = next + sep.size();
    }
}

// Field 2 of a login answer: the points balance.
std::string balanceOf(const std::string& loginAnswer) {
    const auto first = loginAnswer.find('|'), second = loginAnswer.find('|', first + 1);
    return loginAnswer.substr(second + 1, loginAnswer.find('|', second + 1) - second - 1);
}

class RulesTest : public ServerTest {};

TEST_P(RulesTest, EachDownloadCostsOnePointUntilNoneAreLeft) {
    const std::string id = newUser("downloader", "pw");
    std::vector<std::pair<std::string, std::string>> shared{
        {"美丽|億", "漂亮"}, {"迅速億億", "快速"}, {"迅速", "快速"}};
    for (int i = 0; i < 99; ++i)
        shared.emplace_back("词" + std::to_string(i), "新词");
    sharePairs(shared);
    std::string answer = pointsRequest(id, "美丽|億", "漂亮");
    auto fields = splitOn(cp::utf8ToGbk(answer), "|");
    ASSERT_EQ(fields.size(), 3u) << answer;
    EXPECT_EQ(fields[1], "99");
    EXPECT_NE(fields[2].find(g("美丽")), std::string::npos);
    for (int expected = 98; expected >= 0; --expected) {
        fields = splitOn(pointsRequest(id, "词" + std::to_string(expected), "新词"), "|");
        ASSERT_EQ(fields.size(), 3u);
        ASSERT_EQ(fields[1], std::to_string(expected));
    }
    // At zero: a message without "|", and the balance stays at zero. The word
    // is quoted in the message, but not its characters whose GBK form ends in
    // the byte of "|" (億 is 83 7C).
    answer = pointsRequest(id, "迅速億億", "快速");
    EXPECT_TRUE(isRefusal(answer)) << answer;
    EXPECT_NE(answer.find("积分不足"), std::string::npos);
    EXPECT_NE(answer.find("迅速"), std::string::npos);
    EXPECT_TRUE(isRefusal(pointsRequest(id, "迅速", "快速")));
    EXPECT_EQ(balanceOf(login("downloader", "pw")), "0");
}

TEST_P(RulesTest, ConcurrentDownloadsNeverSpendMoreThanTheBalance) {
    const std::string id = newUser("racer", "pw");
    std::vector<std::pair<std::string, std::string>> shared;
    for (int t = 0; t < 8; ++t)
        for (int i = 0; i < 20; ++i)
            shared.emplace_back("w" + std::to_string(t * 100 + i), "n");
    sharePairs(shared);
    const std::string token = tokens[id];
    std::atomic<int> spent{0}, refused{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            HttpClient c("127.0.0.1", server->port());
            for (int i = 0; i < 20; ++i) {
                const std::string plain =
                    id + "[@]w" + std::to_string(t * 100 + i) + "[@]n[@]addword";
                auto res =
                    c.get("/keywords_point.asp?q=" + cipher::encryptGbk(plain) + "&t=" + token);
                if (res && res->body.find('|') != std::string::npos)
                    ++spent;
                else if (res)
                    ++refused;
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(spent.load(), 100);
    EXPECT_EQ(refused.load(), 60);
    EXPECT_EQ(balanceOf(login("racer", "pw")), "0");
}

TEST_P(RulesTest, AnAcceptedShareEarnsTenPoints) {
    const std::string id = newUser("sharer", "pw");
    const std::string answer = shareRequest(id, "非常", "十分");
    EXPECT_NE(answer.find("共享成功"), std::string::npos) << answer;
    EXPECT_NE(answer.find("(110)"), std::string::npos) << answer;
    EXPECT_EQ(balanceOf(login("sharer", "pw")), "110");
    // Words with "|" and "&" are enciphered, so they arrive whole.
    EXPECT_NE(shareRequest(id, "a|b", "c&d").find("共享成功"), std::string::npos);
    EXPECT_EQ(balanceOf(login("sharer", "pw")), "120");
    EXPECT_NE(pagePlain().find("[@m@]a|b[@m@]c&d[@m@]" + id + "[@br@]"), std::string::npos);
}

TEST_P(RulesTest, EmptyRepeatedOrUnknownSharesAreRefusedWithAMessage) {
    const std::string id = newUser("picky", "pw");
    const std::string other = newUser("other", "pw");
    ASSERT_NE(shareRequest(id, "重要", "关键").find("共享成功"), std::string::npos);
    const std::string refusals[] = {
        shareRequest(id, "重要", "关键"),    // already shared by this user
        shareRequest(other, "重要", "关键"), // and by anyone
        shareRequest(id, "", "关键"),
        shareRequest(id, "重要", ""),
        shareRequest(id, "  ", "关键"),
        shareRequest(id, "同词", "同词"),
        shareRequest(id, "x[@m@]y", "z"), // would break the page format
        shareRequest(id, std::string(51, 'w'), "z"),
        shareRequest("9", "开始", "着手"), // the program's id before any login
        shareRequest("0", "开始", "着手"), // and after a refused login
        shareRequest("abc", "开始", "着手"),
    };
    for (const auto& r : refusals) {
        EXPECT_FALSE(r.empty());
        EXPECT_EQ(r.find("共享成功"), std::string::npos) << r;
    }
    EXPECT_NE(refusals[0].find("已经在网络词库中"), std::string::npos) << refusals[0];
    EXPECT_NE(refusals[2].find("不能为空"), std::string::npos) << refusals[2];
    EXPECT_NE(refusals[8].find("用户不存在"), std::string::npos) << refusals[8];
    EXPECT_EQ(balanceOf(login("picky", "pw")), "110");
    EXPECT_EQ(balanceOf(login("other", "pw")), "100");
    EXPECT_EQ(server->storage().pairCount(), 1);
}

TEST_P(RulesTest, PagesHoldTwentyPairsNewestFirst) {
    const std::string id = newUser("prolific", "pw");
    for (int i = 1; i <= 45; ++i)
        ASSERT_NE(
            shareRequest(id, "原" + std::to_string(i), "新" + std::to_string(i)).find("共享成功"),
            std::string::npos);
    auto page = [&](const std::string& query) { return splitOn(pagePlain(query), "[@br@]"); };

    auto first = page("");
    ASSERT_EQ(first.size(), 22u);
    EXPECT_EQ(first[20], "1");
    EXPECT_EQ(first[21], "3");
    EXPECT_EQ(splitOn(first[0], "[@m@]"), (std::vector<std::string>{"45", "原45", "新45", id}));
    EXPECT_EQ(splitOn(first[19], "[@m@]")[1], "原26");
    EXPECT_EQ(page("?page=1"), first);

    auto second = page("?page=2");
    ASSERT_EQ(second.size(), 22u);
    EXPECT_EQ(splitOn(second[0], "[@m@]")[1], "原25");
    EXPECT_EQ(second[20], "2");

    auto third = page("?page=3");
    ASSERT_EQ(third.size(), 7u);
    EXPECT_EQ(splitOn(third[4], "[@m@]")[1], "原1");

    // Out of range: no rows, the number asked for and the page count.
    EXPECT_EQ(pagePlain("?page=4"), "4[@br@]3");
    EXPECT_EQ(pagePlain("?page=0"), "0[@br@]3");
    EXPECT_EQ(pagePlain("?page=-2"), "-2[@br@]3");
    // Not a number: the newest page.
    EXPECT_EQ(page("?page=abc"), first);
}

// Only pairs of the shared thesaurus cost points: a download of anything
// else is answered, and costs nothing.
TEST_P(RulesTest, APairThatIsNotSharedCostsNothing) {
    const std::string id = newUser("careful", "pw");
    sharePairs({{"共享的", "词"}});
    const std::string answer = pointsRequest(id, "自己编的", "词");
    EXPECT_TRUE(isRefusal(answer)) << answer;
    EXPECT_NE(answer.find("不在网络词库中"), std::string::npos) << answer;
    EXPECT_EQ(server->storage().findAccount(std::stoll(id))->points, 100);
    EXPECT_EQ(splitOn(pointsRequest(id, "共享的", "词"), "|")[1], "99");
}

// The shared thesaurus is numbered without gaps, so a page is a range of
// numbers: after deletions anywhere, every page still holds exactly the pairs
// a plain newest-first list would.
TEST_P(RulesTest, PagesStayExactAfterPairsAreDeleted) {
    const std::string a = newUser("sharer-a"), b = newUser("sharer-b");
    std::vector<wycserver::SharedPair> expected; // oldest first
    auto share = [&](const std::string& id, int n) {
        const std::string ow = "原" + std::to_string(n), nw = "新" + std::to_string(n);
        ASSERT_NE(shareRequest(id, ow, nw).find("共享成功"), std::string::npos);
        expected.push_back({0, ow, nw, std::stoll(id)});
    };
    for (int n = 0; n < 50; ++n)
        share(n % 3 ? a : b, n);
    auto& store = server->storage();
    auto check = [&](const char* after) {
        SCOPED_TRACE(after);
        const auto total = static_cast<std::int64_t>(expected.size());
        ASSERT_EQ(store.pairCount(), total);
        const std::int64_t pages = std::max<std::int64_t>(1, (total + 19) / 20);
        for (std::int64_t p = 0; p <= pages + 1; ++p) {
            const auto page = store.pairPage(p, 20);
            EXPECT_EQ(page.total, total);
            std::vector<std::string> got, want;
            for (const auto& row : page.rows)
                got.push_back(row.ow);
            for (std::int64_t i = total - (p - 1) * 20 - 1;
                 p >= 1 && i >= 0 && i > total - p * 20 - 1; --i)
                want.push_back(expected[i].ow);
            EXPECT_EQ(got, want) << "page " << p;
        }
    };
    check("sharing");
    auto drop = [&](const wycserver::PairFilter& filter, auto matches) {
        const auto n = std::erase_if(expected, matches);
        EXPECT_EQ(store.deletePairs(filter), static_cast<std::int64_t>(n));
    };
    const auto newest = store.pairPage(1, 1).rows.at(0);
    drop({newest.netId, {}, {}}, [&](const auto& p) { return p.ow == newest.ow; });
    check("deleting the newest");
    drop({{}, {}, std::string("新7")}, [](const auto& p) { return p.nw == "新7"; });
    check("deleting one in the middle");
    drop({{}, std::stoll(b), {}}, [&](const auto& p) { return p.sharer == std::stoll(b); });
    check("deleting a sharer's");
    share(b, 100);
    check("sharing again");
    EXPECT_EQ(store.deletePairs({}), 0); // an empty filter deletes nothing
    check("an empty filter");
}

TEST_P(RulesTest, PageAnswerIsUpperCaseCipherText) {
    const std::string hex = getBody("/loadtyc.asp");
    EXPECT_EQ(hex.size() % 32, 0u);
    EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(pagePlain(), "1[@br@]1"); // an empty shared thesaurus is one empty page
}

class StarterPairsTest : public ServerTest {
  protected:
    void SetUp() override {
        starterPairs = true;
        ServerTest::SetUp();
    }
};

TEST_P(StarterPairsTest, NewDataFileOffersStarterPairsOnce) {
    const auto rows = splitOn(pagePlain(), "[@br@]");
    ASSERT_EQ(rows.size(), 22u);
    const auto count = server->storage().pairCount();
    EXPECT_EQ(count, static_cast<std::int64_t>(wycserver::starterPairs().size()));
    EXPECT_EQ(rows[21], std::to_string((count + 19) / 20));
    EXPECT_EQ(splitOn(rows[0], "[@m@]").size(), 4u);
    // Reopening the file adds nothing.
    server->stop();
    server.reset();
    server = std::make_unique<wycserver::VendorServer>(serverOptions());
    EXPECT_EQ(server->storage().pairCount(), count);
}

// Every copy of the program ships with the starter thesaurus: sharing one of
// its pairs earns nothing, since it is in the shared thesaurus already.
TEST_P(StarterPairsTest, SharingAStarterPairEarnsNothing) {
    const std::string id = newUser("copycat");
    const auto& pairs = wycserver::starterPairs();
    for (const auto& pair : {pairs.front(), pairs[pairs.size() / 2], pairs.back()}) {
        const std::string answer = shareRequest(id, pair.first, pair.second);
        EXPECT_NE(answer.find("已经在网络词库中"), std::string::npos) << answer;
    }
    EXPECT_EQ(server->storage().findAccount(std::stoll(id))->points, 100);
    // And downloading one costs a point, as any shared pair does.
    EXPECT_EQ(splitOn(pointsRequest(id, pairs.front().first, pairs.front().second), "|")[1], "99");
}

WYC_ON_BOTH_STORES(RulesTest);
WYC_ON_BOTH_STORES(StarterPairsTest);

} // namespace
