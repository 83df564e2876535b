// The batch page when things go wrong, against a loopback server: error pages,
// refused posts, a stop in the middle, the retry of what was left, and the
// answer of "测试提交". Every line the window marks got where it was going;
// everything else is counted as what it is and listed.
#include "net_form_fixture.h"

#include <filesystem>
#include <map>

namespace {

class BatchTruthTest : public NetFormTest {
  protected:
    void SetUp() override {
        NetFormTest::SetUp();
        form->LoggedIn = true;
        form->OriginalWords = {g("春天")};
        form->NewWords = {g("春季")};
        form->ThesaurusLoaded = true;
        form->bsknrdgrp2.setItemIndex(1); // the download list
        form->edt4.setText((dir.path() / "out").string());
        form->edt8.setText(url("/post"));
        server.answer("/a", {200, g("春天来了")});
        server.answer("/b", {200, g("春天走了")});
        server.answer("/gone", {404, g("找不到网页")});
    }
    void run(void (TForm1::*handler)()) {
        (form.get()->*handler)();
        ASSERT_TRUE(settle());
    }
    int failuresListed() const { return form->lv5.visible() ? form->lv5.count() : 0; }
    size_t postsSent() {
        size_t n = 0;
        for (const auto& r : server.requests())
            n += r.method == "POST";
        return n;
    }
    const std::string done = g("[完毕]");
};

// One run to files and one to posts, each with a page that fails: the lines
// that did not get there stay unmarked, the status counts and names the first
// failure, and the failure list holds every one.
TEST_F(BatchTruthTest, OnlyWhatGotThereIsMarkedAndTheRestIsCountedAndListed) {
    struct Row {
        int target;     // 0 files, 1 posts
        int postStatus; // how the post address answers
        const char* status;
        StringList marked; // the list after the run
        int listed;
    } rows[] = {
        {0,
         200,
         "【提示信息】完毕：成功2篇，空内容0篇，失败1篇。第一个失败：",
         {"/a[完毕]", "/gone", "/b[完毕]"},
         1},
        {1,
         200,
         "【提示信息】完毕：成功2篇，空内容0篇，失败1篇。第一个失败：",
         {"/a[完毕]", "/gone", "/b[完毕]"},
         1},
        // A stopped server answers with an error page: no line is done, and no
        // article counts in the average.
        {1,
         500,
         "【提示信息】完毕：成功0篇，空内容0篇，失败3篇。第一个失败：",
         {"/a", "/gone", "/b"},
         3},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.status + std::to_string(r.target) + std::to_string(r.postStatus));
        std::filesystem::remove_all(dir.path() / "out");
        server.answer("/post", {r.postStatus, g("收到")});
        form->bsknrdgrp3.setItemIndex(r.target);
        form->mmo2.setLines({url("/a"), url("/gone"), url("/b")});
        const size_t sentBefore = postsSent();
        run(&TForm1::btn11Click);
        StringList expected;
        for (const std::string& line : r.marked)
            expected.push_back(server.base() + g(line));
        EXPECT_EQ(form->mmo2.lines(), expected);
        EXPECT_EQ(form->lbl19.caption().rfind(g(r.status), 0), 0u) << form->lbl19.caption();
        EXPECT_NE(form->lbl19.caption().find(url("/")), std::string::npos);
        EXPECT_EQ(failuresListed(), r.listed);
        // Answers come in any order: the list is read as item -> reason.
        std::map<std::string, std::string> listed;
        for (int i = 0; i < form->lv5.count(); ++i)
            listed[form->lv5.item(i).caption] = form->lv5.item(i).subItems[0];
        EXPECT_EQ(listed[url("/gone")], g("服务器回答错误 HTTP 404"));
        if (r.postStatus == 500) {
            EXPECT_EQ(listed[url("/a")], g("服务器回答错误 HTTP 500"));
            EXPECT_EQ(listed[url("/b")], g("服务器回答错误 HTTP 500"));
            EXPECT_EQ(form->lbl23.caption(), "");
        }
        // The error page is neither saved nor published; the posts of the
        // two articles went out and were counted by their answers.
        EXPECT_EQ(postsSent() - sentBefore, r.target == 1 ? 2u : 0u);
        if (r.target == 0) {
            size_t files = 0;
            for ([[maybe_unused]] const auto& f :
                 std::filesystem::directory_iterator(dir.path() / "out"))
                ++files;
            EXPECT_EQ(files, 2u);
        }
        if (r.postStatus == 200) {
            EXPECT_NE(form->lbl23.caption().find(g("（2篇）")), std::string::npos);
        }
    }

    // The retry runs only the lines left unmarked, and a run where all went
    // well keeps its old words and hides the list.
    server.answer("/post", {200, g("收到")});
    server.answer("/gone", {200, g("春天又来了")});
    const size_t before = postsSent();
    run(&TForm1::btn19Click);
    EXPECT_EQ(postsSent() - before, 3u);
    EXPECT_EQ(form->lbl19.caption(), g("【提示信息】全部提交到服务器完成"));
    EXPECT_EQ(failuresListed(), 0);
    for (const std::string& line : form->mmo2.lines())
        EXPECT_EQ(line.substr(line.size() - done.size()), done) << line;
    run(&TForm1::btn19Click);
    EXPECT_EQ(form->lbl19.caption(), g("【提示信息】没有需要重试的项目。"));
}

// "停止" while pages are on their way: nothing new starts, nothing is marked,
// and the summary says the run was stopped and how much was left.
TEST_F(BatchTruthTest, AStoppedRunSaysSoAndMarksNothing) {
    server.answerAll({200, g("春天"), "", "", 3000});
    StringList lines;
    for (int i = 0; i < 4; ++i)
        lines.push_back(url("/slow" + std::to_string(i)));
    form->mmo2.setLines(lines);
    form->btn11Click();
    form->btn18Click();
    EXPECT_EQ(form->lbl19.caption(),
              g("【提示信息】已停止：成功0篇，空内容0篇，失败0篇，未完成4篇。"));
    EXPECT_TRUE(form->Requests.empty());
    pump(200);
    EXPECT_EQ(form->mmo2.lines(), lines);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "out" / "http___127.0.0.1_"));
    form->btn18Click();
    EXPECT_EQ(form->lbl19.caption(), g("【提示信息】没有正在进行的批量伪原创。"));
}

// A page that could not be fetched is listed with why, in words a user can
// act on.
TEST_F(BatchTruthTest, AFailedFetchSaysWhy) {
    server.answer("/empty", {200, ""});
    struct Row {
        std::string address;
        const char* reason;
    } rows[] = {
        {"http://127.0.0.1:1/closed", "抓取出错：无法连接服务器"},
        {url("/empty"), "抓取出错：服务器回答为空"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.address);
        form->mmo2.setLines({r.address});
        run(&TForm1::btn11Click);
        ASSERT_EQ(failuresListed(), 1);
        EXPECT_EQ(form->lv5.item(0).subItems[0], g(r.reason));
        EXPECT_NE(form->lbl19.caption().find(g(r.reason)), std::string::npos);
    }
}

// "测试提交" is no run: its answer stays on the status line.
TEST_F(BatchTruthTest, TheTestSubmissionShowsTheServersAnswer) {
    server.answer("/post_test.asp", {200, g("测试内容已收到")});
    run(&TForm1::btn13Click);
    EXPECT_EQ(form->lbl19.caption(), g("【提示信息】测试内容已收到"));
    EXPECT_EQ(form->PostedCount, 0);
}

} // namespace
