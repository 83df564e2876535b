// The local-folder run to files: listing, rewrite, markers, result text, the
// refusals, a run stopped by a file it cannot write, and web pages.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "app/Unit1.h"
#include "support/fixtures.h"
#include "support/recording_platform.h"

namespace {

class LocalRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        form.OriginalWords = {g("春天")};
        form.NewWords = {g("春季")};
        form.ThesaurusLoaded = true;
        form.LoggedIn = true;
        form.edt3.setText((dir.path() / "in").string());
        form.edt4.setText((dir.path() / "out").string() + "/");
        std::filesystem::create_directories(dir.path() / "in");
        std::filesystem::create_directories(dir.path() / "out");
    }
    void put(const std::string& name, const std::string& bytes) {
        writeFileBytes(dir.path() / "in" / name, bytes);
    }
    std::string out(const std::string& name) { return readFileBytes(dir.path() / "out" / name); }
    void press() {
        form.run([this] { form.btn11Click(); });
    }

    TempDir dir;
    RecordingPlatform platform;
    TForm1 form{platform, FormOptions{dir.dirText(), 1}};
};

TEST_F(LocalRunTest, RewritesEveryTextFileOfTheFolder) {
    put("b.TXT", g("春天来了\n好"));
    put("a.txt", g("一个春天\r\n"));
    put("empty.txt", "");
    put("notes.md", "x");
    std::filesystem::create_directories(dir.path() / "in" / "dir.txt");
    std::filesystem::create_directory_symlink(dir.path() / "out", dir.path() / "in" / "link.txt");
    ASSERT_EQ(::mkfifo((dir.path() / "in" / "fifo.txt").c_str(), 0600), 0);

    // A second press while the run lets events through is refused, and the
    // refusal stays up while the next files are done.
    std::vector<std::string> shown;
    platform.onProcessEvents = [&] {
        if (shown.empty()) form.btn11Click();
        shown.push_back(form.lbl19.caption());
    };
    press();
    EXPECT_EQ(shown, std::vector<std::string>(
                         3, g("【提示信息】批量伪原创正在进行，请等它完成后再开始。")));
    EXPECT_TRUE(platform.errors().empty());
    EXPECT_EQ(form.mmo1.text(),
              g("a.txt[完毕]\r\nb.TXT[完毕]\r\nempty.txt[空内容]")); // sorted, only regular files
    EXPECT_EQ(out("a.txt"), g("一个春季\r\n"));
    EXPECT_EQ(out("b.TXT"), g("春季来了\r\n好\r\n"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "out" / "empty.txt"));
    EXPECT_EQ(form.lbl19.caption(), g("【提示信息】完毕！"));
    EXPECT_EQ(form.BatchTotal, 3);
    EXPECT_EQ(form.bsSkinGauge1.value(), 3);
    EXPECT_EQ(form.bsSkinGauge1.max(), 3);
    EXPECT_FALSE(form.lbl23.caption().empty());
}

TEST_F(LocalRunTest, ChangesMadeWhileItRunsApplyToTheFilesAfter) {
    for (const char* name : {"1.txt", "2.txt", "3.txt"})
        put(name, g("春天"));
    int file = 0;
    platform.onProcessEvents = [&] {
        if (++file == 1) { // files are read ahead meanwhile
            form.OriginalWords.push_back(g("春季"));
            form.NewWords.push_back(g("春日"));
        }
        if (file == 2) form.bschck4.setChecked(false);
    };
    press();
    EXPECT_EQ(out("1.txt"), g("春季\r\n"));
    EXPECT_EQ(out("2.txt"), g("春日\r\n"));
    EXPECT_EQ(out("3.txt"), g("春天\r\n"));
}

TEST_F(LocalRunTest, MakesAMissingTargetAndTellsAFileItCannotWrite) {
    put("a.txt", g("春天"));
    put("b.txt", g("春天"));
    // A target that does not exist yet is made, with its parents.
    form.edt4.setText((dir.path() / "new" / "out").string());
    press();
    EXPECT_EQ(readFileBytes(dir.path() / "new" / "out" / "b.txt"), g("春季\r\n"));
    EXPECT_EQ(form.lbl19.caption(), g("【提示信息】完毕！"));

    // A result that cannot be written fails its file; the run goes on, sums
    // up and lists the file with the reason, and nothing is shown as an error.
    std::filesystem::create_directories(dir.path() / "out" / "a.txt");
    form.edt4.setText((dir.path() / "out").string());
    press();
    EXPECT_TRUE(platform.errors().empty());
    EXPECT_EQ(form.mmo1.text(), g("a.txt\r\nb.txt[完毕]"));
    EXPECT_EQ(readFileBytes(dir.path() / "out" / "b.txt"), g("春季\r\n"));
    const std::string status = form.lbl19.caption();
    EXPECT_EQ(status.rfind(g("【提示信息】完毕：成功1篇，空内容0篇，失败1篇。第一个失败：a.txt："), 0),
              0u)
        << cp::gbkToUtf8(status);
    ASSERT_EQ(form.lv5.count(), 1);
    EXPECT_TRUE(form.lv5.visible());
    EXPECT_EQ(form.lv5.item(0).caption, "a.txt");
    // The average counts the written article only.
    EXPECT_TRUE(form.lbl23.caption().ends_with(g("（1篇）"))) << cp::gbkToUtf8(form.lbl23.caption());

    // "重试失败项" does the file left undone, and only it.
    std::filesystem::remove(dir.path() / "out" / "a.txt");
    std::filesystem::remove(dir.path() / "out" / "b.txt");
    form.run([this] { form.btn19Click(); });
    EXPECT_EQ(form.mmo1.text(), g("a.txt[完毕]\r\nb.txt[完毕]"));
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "out" / "a.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "out" / "b.txt"));
    EXPECT_FALSE(form.lv5.visible());
}

TEST_F(LocalRunTest, RefusalsLeaveTheListAlone) {
    form.mmo1.setText("old");
    form.LoggedIn = false;
    press();
    EXPECT_EQ(form.lbl19.caption(), g("【提示信息】请先登录——意思意思！"));
    EXPECT_EQ(form.mmo1.text(), "old");

    form.LoggedIn = true;
    press();
    EXPECT_EQ(form.lbl19.caption(), g("【提示信息】源目录内没有TXT文件."));
    // A folder that is not there is named as missing.
    form.edt3.setText((dir.path() / "gone").string());
    press();
    EXPECT_EQ(form.lbl19.caption(), g("【提示信息】源目录不存在：") + (dir.path() / "gone").string());
    form.edt3.setText((dir.path() / "in").string());

    put("a.txt", g("春天"));
    form.ThesaurusLoaded = false;
    press();
    EXPECT_EQ(form.lbl19.caption(), g("【提示信息】请先初始化再进行替换！"));
    EXPECT_EQ(form.mmo1.text(), "a.txt");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "out" / "a.txt"));
}

TEST_F(LocalRunTest, TheChoiceWebPageTakesInPagesOrLeavesThemOut) {
    put("a.txt", g("春天"));
    put("b.html", "<html><body><p>春天</p></body></html>");
    EXPECT_EQ(form.cbb2.itemIndex(), 0); // 保留网页
    press();
    EXPECT_EQ(form.mmo1.text(), g("a.txt[完毕]\r\nb.html[完毕]"));
    EXPECT_EQ(out("b.html"), "<html><body><p>春季</p></body></html>");
    // 提取正文: nothing worth taking out, so an empty item.
    form.cbb2.setItemIndex(1);
    press();
    EXPECT_EQ(form.mmo1.text(), g("a.txt[完毕]\r\nb.html[空内容]"));
    // 当作文本: only the text files are listed.
    form.cbb2.setItemIndex(2);
    press();
    EXPECT_EQ(form.mmo1.text(), g("a.txt[完毕]"));
}

} // namespace
