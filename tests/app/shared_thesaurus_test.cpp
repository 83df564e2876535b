// The page " 词库下载 ": page commands and answers, downloads and their points
// requests.
#include <set>

#include "app/net_form_fixture.h"
#include "protocol/cipher_gbk.h"
#include "thesaurus/keyword_store.h"

namespace {

// The page answer as the server sends it: the plain text (UTF-8), enciphered.
std::string pageAnswer(const std::string& plainUtf8) {
    return cipher::encryptGbk(g(plainUtf8));
}

class SharedThesaurusTest : public NetFormTest {
  protected:
    void SetUp() override {
        NetFormTest::SetUp();
        form->UserId = "42";
        form->LoggedIn = true;
    }
    // Delivers an answer of the kind as the dispatch would.
    void deliver(const std::string& kind, const std::string& body) {
        Tmyhttpget request(platform);
        request.FRequestKind = kind;
        form->getstr(&request, body);
    }
    void showPage(const std::vector<ListItem>& rows) {
        form->lv2.clear();
        for (const auto& r : rows)
            form->lv2.append(r);
    }
    std::vector<std::string> pointsPlainTexts() {
        std::vector<std::string> out;
        for (const auto& r : server.requests())
            if (r.path == "/keywords_point.asp")
                out.push_back(
                    cp::gbkToUtf8(cipher::decryptToGbk(r.target.substr(r.target.find("?q=") + 3))));
        return out;
    }
};

ListItem row(const std::string& id, const std::string& ow, const std::string& nw,
             bool checked = false) {
    return ListItem{id, {g(ow), g(nw), "10001"}, checked};
}

TEST_F(SharedThesaurusTest, PageAnswers) {
    // "乕" is 81 5B in GBK: its second byte is "[", which must not start a separator.
    struct Case {
        const char* name;
        std::string body;
        bool shown; // false: list, page state and lbl10 stay as they were
        std::vector<std::vector<std::string>> rows;
        std::string page, count, lbl3;
    } cases[] = {
        {"two rows, page 3 of 12",
         pageAnswer("1[@m@]美丽[@m@]漂亮[@m@]10001[@br@]2[@m@]乕@m@]a|b[@m@]c&d[@m@]10002"
                    "[@br@]3[@br@]12"),
         true,
         {{"1", "美丽", "漂亮", "10001"}, {"2", "乕@m@]a|b", "c&d", "10002"}},
         "3",
         "12",
         "网络词库第(3)页读取完成..."},
        {"empty page", pageAnswer("5[@br@]12"), true, {}, "5", "12", "网络词库第(5)页读取完成..."},
        {"short and long rows",
         pageAnswer("7[@m@]只有原词[@br@][@br@]1[@m@]2[@m@]3[@m@]4[@m@]5[@br@]1[@br@]1"),
         true,
         {{"7", "只有原词", "", ""}, {"", "", "", ""}, {"1", "2", "3", "4"}},
         "1",
         "1",
         "网络词库第(1)页读取完成..."},
        {"no [@br@]", pageAnswer("not a page"), false, {}, "", "", "before"},
        {"not cipher text",
         "<html>502 Bad Gateway</html>",
         false,
         {},
         "",
         "",
         "【提示信息】网络词库页面无法读取，请稍后再试。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        showPage({row("9", "旧", "页", true)});
        form->bschck6.setChecked(true);
        form->CurrentPage = "7";
        form->PageCount = "9";
        form->lbl3.setCaption("before");
        form->lbl10.setCaption("before");
        deliver("loadtyc", c.body);
        EXPECT_EQ(form->lbl3.caption(), g(c.lbl3));
        if (!c.shown) {
            ASSERT_EQ(form->lv2.count(), 1);
            EXPECT_EQ(form->lv2.item(0).caption, "9");
            EXPECT_EQ(form->CurrentPage, "7");
            EXPECT_EQ(form->PageCount, "9");
            EXPECT_EQ(form->lbl10.caption(), "before");
            continue;
        }
        ASSERT_EQ(form->lv2.count(), static_cast<int>(c.rows.size()));
        for (size_t i = 0; i < c.rows.size(); ++i) {
            const ListItem& item = form->lv2.item(static_cast<int>(i));
            EXPECT_EQ(item.caption, g(c.rows[i][0]));
            EXPECT_EQ(item.subItems,
                      (StringList{g(c.rows[i][1]), g(c.rows[i][2]), g(c.rows[i][3])}));
            EXPECT_FALSE(item.checked); // whatever the check-all box shows
        }
        EXPECT_EQ(form->CurrentPage, c.page);
        EXPECT_EQ(form->PageCount, c.count);
        EXPECT_EQ(form->lbl10.caption(), g("共" + c.count + "页，当前第" + c.page + "页"));
    }
    EXPECT_TRUE(platform.errors().empty());
}

TEST_F(SharedThesaurusTest, PageMovesStayWithinThePageCount) {
    // The answers come late, so each loading text can be seen.
    server.answerAll({200, "x", "", "", 300});
    struct Case {
        const char* name;
        const char *page, *count; // "0": no page answer yet
        double spin;
        void (TForm1::*click)();
        const char* target; // nullptr: nothing is sent
        const char* lbl3;
        double spinAfter;
    } cases[] = {
        {"newest", "4", "9", 1, &TForm1::btn1Click, "/loadtyc.asp", "正在读取最新网络词库...", 1},
        {"previous", "2", "3", 1, &TForm1::btn4Click, "/loadtyc.asp?page=1",
         "正在读取(1)页最新网络词库...", 1},
        {"previous on the first", "1", "3", 1, &TForm1::btn4Click, nullptr,
         "【提示信息】已经是第一页了。", 1},
        {"next", "2", "3", 1, &TForm1::btn5Click, "/loadtyc.asp?page=3",
         "正在读取(3)页最新网络词库...", 1},
        {"next on the last", "3", "3", 1, &TForm1::btn5Click, nullptr,
         "【提示信息】已经是最后一页了。", 1},
        {"next before any page", "1", "0", 1, &TForm1::btn5Click, "/loadtyc.asp?page=2",
         "正在读取(2)页最新网络词库...", 1},
        {"jump", "1", "12", 5, &TForm1::btn7Click, "/loadtyc.asp?page=5",
         "正在读取(5)页最新网络词库...", 5},
        {"jump past the last", "1", "3", 99, &TForm1::btn7Click, "/loadtyc.asp?page=3",
         "正在读取(3)页最新网络词库...", 3},
        {"jump below the first", "2", "3", -4, &TForm1::btn7Click, "/loadtyc.asp?page=1",
         "正在读取(1)页最新网络词库...", 1},
    };
    std::multiset<std::string> expected;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        form->CurrentPage = c.page;
        form->PageCount = c.count;
        form->bsknspndt1.setValue(c.spin);
        (form.get()->*c.click)();
        EXPECT_EQ(form->lbl3.caption(), g(c.lbl3));
        EXPECT_EQ(form->bsknspndt1.value(), c.spinAfter);
        if (c.target) expected.insert(c.target);
    }
    ASSERT_TRUE(settle());
    // Nothing else went out; the transfers ran side by side, so their order
    // of arrival is open.
    std::multiset<std::string> sent;
    for (const auto& r : server.requests())
        sent.insert(r.target);
    EXPECT_EQ(sent, expected);

    // A page number that is not a whole number stops the command in a message box.
    form->CurrentPage = g("第三");
    form->lbl3.setCaption("before");
    form->run([&] { form->btn5Click(); });
    form->run([&] { form->btn4Click(); });
    EXPECT_EQ(platform.errors().size(), 2u);
    EXPECT_EQ(form->lbl3.caption(), "before");
    EXPECT_TRUE(form->Requests.empty());
    EXPECT_EQ(server.count(), expected.size());
}

TEST_F(SharedThesaurusTest, APageIsShownFromItsTopAndAPagePastTheEndOnlyTellsTheCount) {
    showPage({row("9", "旧", "页")});
    form->lv2.scrollIntoView(15); // the user had scrolled down the last page
    form->CurrentPage = "1";
    form->PageCount = "0";
    deliver("loadtyc", pageAnswer("5[@br@]2"));
    // Not shown: the list stays, the count is news.
    ASSERT_EQ(form->lv2.count(), 1);
    EXPECT_EQ(form->CurrentPage, "1");
    EXPECT_EQ(form->PageCount, "2");
    EXPECT_EQ(form->lbl10.caption(), g("共2页，当前第1页"));
    EXPECT_EQ(form->lbl3.caption(), g("【提示信息】网络词库共2页，没有第5页。"));
    EXPECT_EQ(form->lv2.lastScrolledTo(), 15);

    deliver("loadtyc", pageAnswer("1[@m@]美丽[@m@]漂亮[@m@]10001[@br@]2[@br@]2"));
    EXPECT_EQ(form->lbl10.caption(), g("共2页，当前第2页"));
    EXPECT_EQ(form->lv2.lastScrolledTo(), 0);
}

TEST_F(SharedThesaurusTest, PointsAnswers) {
    struct Case {
        std::string body, lbl3;
        const char* balance; // nullptr: lbl8 stays
    } cases[] = {
        {"x|140|" + g("下载成功"), g("下载成功"), "140"},
        {"a|b", "a|b", nullptr},
        {"a|b|c|d", "a|b|c|d", nullptr},
        {g("积分不足"), g("积分不足"), nullptr},
        // "億" (83 7C) holds the byte of "|" but is no separator: three fields.
        {"x|7|" + g("億"), g("億"), "7"},
    };
    for (const auto& c : cases) {
        form->lbl8.setCaption("before");
        deliver("addword", c.body);
        EXPECT_EQ(form->lbl3.caption(), c.lbl3);
        EXPECT_EQ(form->lbl8.caption(),
                  c.balance ? g(std::string("ID:42登录成功,您当前拥有积分(") + c.balance + ")分。")
                            : "before");
    }
}

class DownloadTest : public SharedThesaurusTest {
  protected:
    void SetUp() override {
        SharedThesaurusTest::SetUp();
        form->Database = KeywordStore::create((dir.path() / "setting.dat").string());
        server.answerAll({200, "x|99|ok"});
    }
    // The questions asked before downloads, each answered with `yes`.
    std::vector<std::string> questions() {
        std::vector<std::string> out;
        for (const auto& c : platform.calls)
            if (c.what == "confirm") out.push_back(cp::gbkToUtf8(c.text));
        return out;
    }
    static std::string question(int pairs) {
        return "将下载" + std::to_string(pairs) +
               "个词对到本地词库，每个词对都要扣除积分（下载过的词对不再扣分）。\r\n确定下载吗？";
    }
    std::vector<std::string> storedWords() {
        std::vector<std::string> out;
        auto cursor = form->Database->all();
        for (KeywordRecord r; cursor.next(r);)
            out.push_back(cp::gbkToUtf8(r.ow + "," + r.nw));
        return out;
    }
};

TEST_F(DownloadTest, CommandsCopyTheirRowsAndReportEachNewPair) {
    form->addKeyWord(g("已有"), g("词"), true, "add");
    showPage({row("1", "美丽", "漂亮", true), row("2", "已有", "词"),
              row("3", "迅速", "快速", true), row("4", "", "空"), row("5", "换\r\n行", "x", true)});

    platform.confirmAnswers = {true, true};
    form->N4Click(); // nothing selected
    EXPECT_TRUE(form->Requests.empty());
    form->lv2.setSelected(2);
    form->N4Click();
    ASSERT_TRUE(settle());
    EXPECT_EQ(pointsPlainTexts(), std::vector<std::string>{"42[@]迅速[@]快速[@]addword"});

    form->N7Click(); // checked: 美丽 (new), 迅速 (stored now), the bad row
    EXPECT_EQ(form->lbl3.caption(),
              g("【提示信息】网络编号5的词语为空或含有本地词库不能保存的字符，已跳过。"));
    ASSERT_TRUE(settle());
    form->btn2Click(); // all: nothing new is left
    ASSERT_TRUE(settle());
    EXPECT_EQ(pointsPlainTexts(), (std::vector<std::string>{"42[@]迅速[@]快速[@]addword",
                                                            "42[@]美丽[@]漂亮[@]addword"}));
    EXPECT_EQ(storedWords(), (std::vector<std::string>{"已有,词", "迅速,快速", "美丽,漂亮"}));
    EXPECT_EQ(form->listview1.count(), 3);
    EXPECT_EQ(form->lbl8.caption(), g("ID:42登录成功,您当前拥有积分(99)分。"));
    // Asked for the two that cost points; not for the press that added nothing.
    EXPECT_EQ(questions(), (std::vector<std::string>{question(1), question(1)}));
}

TEST_F(DownloadTest, ADownloadThatSpendsPointsAsksFirstAndCancelledAddsNothing) {
    form->addKeyWord(g("已有"), g("词"), true, "add");
    // A pair twice on the page costs once; the stored and the bad pair nothing.
    showPage({row("1", "美丽", "漂亮"), row("2", "已有", "词"), row("3", "美丽", "漂亮"),
              row("4", "迅速", "快速"), row("5", "", "空")});
    form->lbl3.setCaption("before");
    form->N5Click(); // no answer: Cancel
    EXPECT_EQ(questions(), std::vector<std::string>{question(2)});
    EXPECT_EQ(form->lbl3.caption(), g("【提示信息】已取消下载，没有扣除积分。"));
    EXPECT_TRUE(form->Requests.empty());
    EXPECT_EQ(storedWords(), std::vector<std::string>{"已有,词"});

    platform.confirmAnswers = {true};
    form->btn2Click();
    ASSERT_TRUE(settle());
    EXPECT_EQ(storedWords(), (std::vector<std::string>{"已有,词", "美丽,漂亮", "迅速,快速"}));
    EXPECT_EQ(pointsPlainTexts().size(), 2u);
}

// Starting a request lets answers run. A page answer that replaces the list in
// the middle of a download loop does not change what the loop adds.
TEST_F(DownloadTest, APageArrivingDuringTheLoopChangesNothingItAdds) {
    std::vector<ListItem> rows;
    for (int i = 0; i < 20; ++i)
        rows.push_back(row(std::to_string(i), "原" + std::to_string(i), "新" + std::to_string(i)));
    showPage(rows);
    int events = 0;
    platform.onProcessEvents = [&] {
        if (++events == 3)
            deliver("loadtyc", pageAnswer("99[@m@]新页[@m@]的词[@m@]1[@br@]2[@br@]2"));
    };
    platform.confirmAnswers = {true};
    form->N5Click();
    platform.onProcessEvents = nullptr;
    ASSERT_TRUE(settle());
    EXPECT_EQ(pointsPlainTexts().size(), 20u);
    const auto stored = storedWords();
    ASSERT_EQ(stored.size(), 20u);
    EXPECT_EQ(stored.back(), "原19,新19");
    ASSERT_EQ(form->lv2.count(), 1);
    EXPECT_EQ(form->lv2.item(0).caption, "99");
}

} // namespace
