// The window's rewrite steps and the command "生成原创" on the window model.
#include <gtest/gtest.h>

#include "app/Unit1.h"
#include "engine/originality.h"
#include "support/fixtures.h"
#include "support/recording_platform.h"
#include "thesaurus/keyword_store.h"

namespace {

struct RewriteCommandTest : ::testing::Test {
    RecordingPlatform platform;
    TForm1 form{platform, FormOptions{"/opt/wyc/", 1}};

    void SetUp() override {
        form.ThesaurusLoaded = true;
        form.OriginalWords = {g("美丽"), g("中国")};
        form.NewWords = {g("漂亮"), g("中华")};
    }
    void click() {
        form.run([this] { form.bsSkinXFormButton2Click(); });
    }
};

TEST_F(RewriteCommandTest, RewritesMemo1IntoMemo2AndShowsTheNewPage) {
    form.Memo1.setText(g("美丽的中国\r\n第二行"));
    click();
    EXPECT_EQ(form.Memo2.text(), g("漂亮的中华\r\n第二行"));
    EXPECT_EQ(form.bsSkinPageControl1.activePage(), 1);
    EXPECT_EQ(form.Label1.caption(), g("【提示信息】原创文章完毕！"));
    EXPECT_TRUE(platform.errors().empty());

    // Both steps off: the text passes unchanged.
    form.bschck4.setChecked(false);
    form.Memo1.setText(g("美丽 的，中国"));
    click();
    EXPECT_EQ(form.Memo2.text(), g("美丽 的，中国"));
}

TEST_F(RewriteCommandTest, RefusesUntilTheThesaurusIsLoaded) {
    form.ThesaurusLoaded = false;
    form.Memo1.setText("x");
    form.Memo2.setText("old");
    click();
    EXPECT_EQ(form.Label1.caption(), g("【提示信息】请先初始化再进行替换！"));
    EXPECT_EQ(form.Memo2.text(), "old");
    EXPECT_EQ(form.bsSkinPageControl1.activePage(), 2);
}

TEST_F(RewriteCommandTest, AnEmptyResultLeavesMemo2AndThePage) {
    form.Memo2.setText("old");
    click();
    EXPECT_EQ(form.Label1.caption(), g("【提示信息】请输入原始文章内容！"));
    // Spaces only, shuffled with both strip options: the steps leave nothing.
    form.bschck1.setChecked(true);
    form.bschck2.setChecked(true);
    form.Memo1.setText(g(" 　 \r\n "));
    form.Label1.setCaption("");
    click();
    EXPECT_EQ(form.Label1.caption(), g("【提示信息】请输入原始文章内容！"));
    EXPECT_EQ(form.Memo2.text(), "old");
    EXPECT_EQ(form.bsSkinPageControl1.activePage(), 2);
}

TEST_F(RewriteCommandTest, ShuffleReadsTheOptionsFromTheControls) {
    form.bschck4.setChecked(false);
    form.bschck1.setChecked(true);
    form.bschck2.setChecked(true);
    form.edt1.setText("KW");
    form.bsknsldr1.setPosition(30);
    form.Memo1.setText(g("甲 乙，丙"));
    click();
    // Two fragments always swap; with v = 30 both get the keyword.
    EXPECT_EQ(form.Memo2.text(), g("丙KW，甲乙KW。"));
    EXPECT_EQ(form.MatchList, StringList{g("，")});
    form.bschck3.setChecked(false);
    click();
    EXPECT_EQ(form.Memo2.text(), g("丙KW，甲 乙KW。"));
}

TEST_F(RewriteCommandTest, SynonymsFollowTheLists) {
    EXPECT_EQ(form.TongYiCi(g("美丽")), g("漂亮"));
    // Lists changed directly, even at the same size.
    form.NewWords[0] = g("好看");
    EXPECT_EQ(form.TongYiCi(g("美丽")), g("好看"));
    form.OriginalWords.push_back(g("好看"));
    form.NewWords.push_back(g("秀丽"));
    EXPECT_EQ(form.TongYiCi(g("美丽")), g("秀丽"));
    EXPECT_EQ(form.TongYiCi(""), "");
}

TEST_F(RewriteCommandTest, SynonymsFollowAReload) {
    TempDir dir;
    ScopedCwd cwd(dir.path());
    makeDatabase(dir.path() / "setting.dat", {{"美丽", "漂亮"}, {"花", "草", false}});
    form.openDatabase();
    form.loadDB();
    EXPECT_EQ(form.TongYiCi(g("美丽的花")), g("漂亮的花"));
    form.Database->setUsed("2", true);
    form.Database->update("1", g("美丽"), g("好看"), true);
    form.bsSkinXFormButton4Click();
    EXPECT_EQ(form.TongYiCi(g("美丽的花")), g("好看的草"));
}

TEST_F(RewriteCommandTest, OriginalityAndMarksOfTheNewArticle) {
    form.Memo1.setText(g("美丽的中国人"));
    click();
    // Shingles 漂亮的中, 亮的中华, 的中华人: none in the source.
    EXPECT_EQ(form.lbl22.caption(), g("原创度：100%"));
    EXPECT_EQ(form.Memo2.marks(), (std::vector<TextSpan>{{0, 4}, {6, 10}}));
    // The box turns the marks off and on again, for the text they belong to.
    form.bschck11.setChecked(false);
    form.bschck11Click();
    EXPECT_TRUE(form.Memo2.marks().empty());
    form.bschck11.setChecked(true);
    form.bschck11Click();
    EXPECT_EQ(form.Memo2.marks().size(), 2u);
    // Editing the article drops them for good.
    form.Memo2.setText(form.Memo2.text() + "x");
    EXPECT_TRUE(form.Memo2.marks().empty());
    form.bschck11Click();
    EXPECT_TRUE(form.Memo2.marks().empty());

    // With the shuffle on nothing is marked; the score counts no punctuation.
    form.bschck4.setChecked(false);
    form.bschck1.setChecked(true);
    form.Memo1.setText(g("美丽，美丽"));
    click();
    EXPECT_TRUE(form.Memo2.marks().empty());
    EXPECT_EQ(form.lbl22.caption(), g("原创度：0%"));
    // The score is not touched when there is nothing to show.
    form.bschck4.setChecked(true);
    form.Memo1.setText("");
    click();
    EXPECT_EQ(form.lbl22.caption(), g("原创度：0%"));
}

TEST_F(RewriteCommandTest, ProtectedWordsInBothSteps) {
    form.ProtectedWords = {g("美丽中国"), g("a.b")};
    form.Memo1.setText(g("美丽中国，美丽的a.b"));
    click();
    EXPECT_EQ(form.Memo2.text(), g("美丽中国，漂亮的a.b"));
    // The shuffle cuts at ， only; both fragments get the keyword.
    form.bschck1.setChecked(true);
    form.edt1.setText("KW");
    form.bsknsldr1.setPosition(30);
    form.bschck2.setChecked(true);
    click();
    EXPECT_EQ(form.MatchList, StringList{g("，")});
    EXPECT_NE(form.Memo2.text().find("a.bKW"), std::string::npos);
}

} // namespace

namespace {

TEST_F(RewriteCommandTest, TheChoiceWebPageDecidesWhatBecomesOfAPage) {
    const std::string para =
        "美丽的中国，美丽的山河，春天的早晨，公园里的花都开了，老人们在湖边散步，"
        "孩子们在草地上放风筝，整座城市在阳光里慢慢醒来。";
    const std::string replaced =
        "漂亮的中华，漂亮的山河，春天的早晨，公园里的花都开了，"
        "老人们在湖边散步，孩子们在草地上放风筝，整座城市在阳光里慢慢醒来。";
    const std::string page =
        "<!DOCTYPE html><title>美丽</title><a href=\"/美丽\">美丽</a><div><p>" + para +
        "</p></div>";
    const std::string asText =
        "<!DOCTYPE html><title>漂亮</title><a href=\"/漂亮\">漂亮</a><div><p>" + replaced +
        "</p></div>";
    struct Row {
        int choice;
        std::string memo2;
        // What the originality is of: the text rewritten, not the markup.
        std::string scoredSource, scoredResult;
    };
    const Row rows[] = {
        {0,
         "<!DOCTYPE html><title>漂亮</title><a href=\"/美丽\">漂亮</a><div><p>" + replaced +
             "</p></div>",
         "美丽\n美丽\n" + para + "\n", "漂亮\n漂亮\n" + replaced + "\n"},
        {1, "漂亮\r\n\r\n" + replaced + "\r\n", "美丽" + para, "漂亮" + replaced},
        {2, asText, page, asText},
    };
    EXPECT_EQ(form.cbb1.items(), (StringList{g("保留网页"), g("提取正文"), g("当作文本")}));
    EXPECT_EQ(form.cbb1.itemIndex(), 0);
    form.Memo1.setText(g(page));
    for (const Row& r : rows) {
        SCOPED_TRACE(r.choice);
        form.cbb1.setItemIndex(r.choice);
        click();
        EXPECT_EQ(form.Memo2.text(), g(r.memo2));
        EXPECT_EQ(form.Label1.caption(), g("【提示信息】原创文章完毕！"));
        const int score = engine::originality(g(r.scoredSource), g(r.scoredResult));
        EXPECT_EQ(form.lbl22.caption(), g("原创度：") + std::to_string(score) + "%");
    }
    // A page without an article leaves the new article as it was, and says why.
    form.Memo1.setText(g("<html><a href=/>首页</a></html>"));
    form.cbb1.setItemIndex(1);
    click();
    EXPECT_EQ(form.Label1.caption(), g("【提示信息】网页中找不到正文"));
    EXPECT_EQ(form.Memo2.text(), g(asText));
}

} // namespace
