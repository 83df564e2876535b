// Sharing rows of the local thesaurus: the selected row and the checked rows.
#include <algorithm>
#include <set>

#include "app/net_form_fixture.h"
#include "protocol/cipher_gbk.h"

namespace {

class SharingTest : public NetFormTest {
  protected:
    void SetUp() override {
        NetFormTest::SetUp();
        form->UserId = "9"; // sharing does not wait for a login
        // Late answers, so that what a command shows itself can be seen first.
        server.answerAll({200, "共享成功", "", "", 300});
        for (int i = 0; i < 14; ++i)
            form->listview1.append(
                ListItem{std::to_string(i + 1), {"ow" + std::to_string(i), "nw|&", g("是")}});
    }
    // The three deciphered fields of the share requests from the `first`, joined
    // by ",". Transfers run side by side, so their order of arrival is open.
    std::multiset<std::string> sharedTriples(size_t first) {
        std::multiset<std::string> out;
        const auto requests = server.requests();
        for (size_t i = first; i < requests.size(); ++i) {
            const auto& r = requests[i];
            EXPECT_EQ(r.path, "/sendkeywords.asp");
            const std::string q = r.target.substr(r.target.find("?q=") + 3);
            const auto a = q.find('|'), b = q.find('|', a + 1);
            EXPECT_EQ(q.find('|', b + 1), std::string::npos) << q;
            out.insert(cipher::decryptToGbk(q.substr(0, a)) + "," +
                       cipher::decryptToGbk(q.substr(a + 1, b - a - 1)) + "," +
                       cipher::decryptToGbk(q.substr(b + 1)));
        }
        return out;
    }
};

TEST_F(SharingTest, CheckedRowsAreSharedTenAtMost) {
    struct Case {
        std::vector<int> checked;
        std::vector<int> sent;
        int tenth; // the row selected, focused and scrolled to; -1: none
    } cases[] = {
        {{1, 4, 7}, {1, 4, 7}, -1},
        {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 9},
        {{0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13}, {0, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 10},
    };
    size_t sentBefore = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.checked.size());
        form->listview1.setAllChecked(false);
        for (int row : c.checked)
            form->listview1.setChecked(row, true);
        form->listview1.setSelected(-1);
        form->lbl9.setCaption("before");
        const int focus = form->listview1.focusRequests();

        form->btn8Click();
        EXPECT_EQ(form->lbl9.caption(),
                  c.tenth < 0 ? "before" : g("正在共享前10条，如果您想共享更多，请分批共享。"));
        EXPECT_EQ(form->listview1.selected(), c.tenth);
        EXPECT_EQ(form->listview1.focusRequests(), focus + (c.tenth < 0 ? 0 : 1));
        if (c.tenth >= 0) {
            EXPECT_EQ(form->listview1.lastScrolledTo(), c.tenth);
        }
        ASSERT_TRUE(settle());
        EXPECT_EQ(form->lbl9.caption(), g("共享成功")); // the answer, verbatim

        std::multiset<std::string> expected;
        for (int row : c.sent)
            expected.insert("9,ow" + std::to_string(row) + ",nw|&");
        EXPECT_EQ(sharedTriples(sentBefore), expected);
        sentBefore = server.count();
    }
}

// After a login whose answer carried a token, every share request carries it
// back, after the three enciphered fields.
TEST_F(SharingTest, TheLoginTokenGoesWithEveryShare) {
    form->LoginToken = "0123456789abcdef0123456789abcdef";
    form->listview1.setSelected(2);
    form->N6Click();
    ASSERT_TRUE(settle());
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    const std::string& target = requests[0].target;
    const std::string tail = "&t=" + form->LoginToken;
    ASSERT_GT(target.size(), tail.size());
    EXPECT_EQ(target.substr(target.size() - tail.size()), tail) << target;
}

// The answer is shown as it came; an accepted share that reports the balance
// moves the login strip's balance too.
TEST_F(SharingTest, ShareAnswersAndTheBalanceTheyReport) {
    struct Case {
        const char* answer;
        const char* balance; // nullptr: lbl8 stays
    } cases[] = {
        {"共享成功：“美丽”→“漂亮”已被收录，奖励10积分，您当前拥有积分(150)分。", "150"},
        {"共享失败：“美丽”→“漂亮”已经在网络词库中", nullptr},
        // The words come first and may hold anything; the end decides.
        {"共享成功：“您当前拥有积分(7)分。”→“x”已被收录，奖励10积分，您当前拥有积分(8)分。", "8"},
        {"共享成功：“您当前拥有积分(7)分。”→“x”", nullptr},
        {"您当前拥有积分()分。", nullptr},
        {"您当前拥有积分(12)分。 ", nullptr},
        {"(12)分。", nullptr},
    };
    form->UserId = "42";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        form->lbl8.setCaption("before");
        Tmyhttpget request(platform);
        request.FRequestKind = "sendkeywords";
        form->getstr(&request, c.answer); // UTF-8, as the server sends it
        EXPECT_EQ(form->lbl9.caption(), g(c.answer));
        EXPECT_EQ(form->lbl8.caption(),
                  c.balance ? g(std::string("ID:42登录成功,您当前拥有积分(") + c.balance + ")分。")
                            : "before");
    }
}

} // namespace
