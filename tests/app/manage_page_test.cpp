// The page " 管理词库 " driven through the model: add and edit modes, the popup
// commands, find and select-all.
#include <gtest/gtest.h>

#include "app/Unit1.h"
#include "support/fixtures.h"
#include "support/form_fixture.h"
#include "support/recording_platform.h"
#include "thesaurus/keyword_store.h"

namespace {

struct ManagePageTest : DatabaseFormTest {
    bool inAddMode() const {
        return form.bsSkinXFormButton3.caption() == g("新增") &&
               !form.bsSkinXFormButton5.visible() && form.EditingId == "0" &&
               form.EditingIndex == 0;
    }
    int find(const std::string& utf8) {
        form.bsSkinEdit3.setText(g(utf8));
        form.listview1.setSelected(-1);
        form.bsSkinXFormButton6Click();
        return form.listview1.selected();
    }
};

TEST_F(ManagePageTest, AddModeRequiresBothWordsAndKeepsTheEdits) {
    open({});
    ASSERT_TRUE(inAddMode());
    form.bsSkinEdit1.setText(g("中国"));
    form.bsSkinXFormButton3Click();
    EXPECT_EQ(form.lbl9.caption(), g("【提示信息】必须输入词语！"));
    EXPECT_EQ(form.Database->count(), 0);

    form.bsSkinEdit2.setText(g("中华"));
    form.bsSkinCheckRadioBox2.setChecked(false);
    form.bsSkinXFormButton3Click();
    EXPECT_EQ(form.lbl9.caption(), g("【提示信息】中国添加成功"));
    ASSERT_EQ(form.listview1.count(), 1);
    EXPECT_EQ(form.listview1.item(0).subItems[2], g("否"));
    EXPECT_EQ(form.bsSkinEdit1.text(), g("中国"));
    EXPECT_EQ(form.bsSkinEdit2.text(), g("中华"));
    EXPECT_FALSE(form.bsSkinCheckRadioBox2.checked());
    EXPECT_TRUE(inAddMode());
}

TEST_F(ManagePageTest, EditModeEntersAppliesAndCancels) {
    open({{"甲", "乙"}, {"丙", "丁", false}});
    form.N1Click(); // nothing selected: nothing happens
    EXPECT_TRUE(inAddMode());

    form.listview1.setSelected(1);
    form.N1Click();
    EXPECT_EQ(form.bsSkinXFormButton3.caption(), g("修改"));
    EXPECT_TRUE(form.bsSkinXFormButton5.visible());
    EXPECT_EQ(form.EditingId, "2");
    EXPECT_EQ(form.EditingIndex, 1);
    EXPECT_EQ(form.bsSkinEdit1.text(), g("丙"));
    EXPECT_EQ(form.bsSkinEdit2.text(), g("丁"));
    EXPECT_FALSE(form.bsSkinCheckRadioBox2.checked());

    // "修改" again re-targets the edit.
    form.listview1.setSelected(0);
    form.N1Click();
    EXPECT_EQ(form.EditingId, "1");
    EXPECT_TRUE(form.bsSkinCheckRadioBox2.checked());

    form.bsSkinEdit2.setText(""); // no emptiness test when applying an edit
    form.bsSkinXFormButton3Click();
    EXPECT_EQ(form.lbl9.caption(), g("【提示信息】ID1修改成功"));
    EXPECT_EQ(form.listview1.item(0).subItems, (StringList{g("甲"), "", g("是")}));
    EXPECT_EQ(form.Database->findById("1")->nw, "");
    EXPECT_TRUE(inAddMode());
    EXPECT_EQ(form.bsSkinEdit1.text(), "");
    EXPECT_TRUE(form.bsSkinCheckRadioBox2.checked());

    form.listview1.setSelected(1);
    form.N1Click();
    form.bsSkinEdit1.setText("changed");
    form.bsSkinXFormButton5Click();
    EXPECT_TRUE(inAddMode());
    EXPECT_EQ(form.bsSkinEdit1.text(), "");
    EXPECT_EQ(form.Database->findById("2")->ow, g("丙"));
}

TEST_F(ManagePageTest, EditAppliedAfterRowsAboveWereDeletedHitsItsOwnRow) {
    open({{"一", "1"}, {"二", "2"}, {"三", "3"}});
    form.listview1.setSelected(2);
    form.N1Click();
    platform.confirmAnswers = {true};
    form.listview1.setSelected(0);
    form.N2Click();
    form.bsSkinEdit1.setText(g("叁"));
    form.bsSkinXFormButton3Click();
    EXPECT_EQ(form.listview1.item(0).subItems[0], g("二"));
    EXPECT_EQ(form.listview1.item(1).subItems[0], g("叁"));
    EXPECT_EQ(form.Database->findById("3")->ow, g("叁"));
}

TEST_F(ManagePageTest, DeleteAsksFirstAndOnlyDeletesOnOk) {
    open({{"它's", "乙"}, {"丙", "丁"}});
    form.N2Click();
    EXPECT_EQ(platform.count("confirm"), 0);

    form.listview1.setSelected(0);
    form.N2Click(); // no scripted answer: Cancel
    ASSERT_EQ(platform.count("confirm"), 1);
    EXPECT_EQ(platform.calls.back().text, g("你确认删除【ID:1-原始词:它's】？"));
    EXPECT_EQ(form.listview1.count(), 2);
    EXPECT_EQ(form.Database->count(), 2);

    platform.confirmAnswers = {true};
    form.N2Click();
    EXPECT_EQ(form.lbl9.caption(), g("【提示信息】ID1删除成功"));
    ASSERT_EQ(form.listview1.count(), 1);
    EXPECT_EQ(form.listview1.item(0).caption, "2");
    EXPECT_FALSE(form.Database->findById("1"));
}

TEST_F(ManagePageTest, SwitchFromThePopup) {
    open({{"甲", "乙"}});
    form.N3Click();
    EXPECT_TRUE(form.Database->findById("1")->isused);
    form.listview1.setSelected(0);
    form.N3Click();
    EXPECT_EQ(form.listview1.item(0).subItems[2], g("否"));
    EXPECT_FALSE(form.Database->findById("1")->isused);
    form.N3Click();
    EXPECT_TRUE(form.Database->findById("1")->isused);
}

TEST_F(ManagePageTest, FindSelectsTheFirstRowContainingTheText) {
    open({{"苹果", "水果"}, {"香蕉", "果实"}, {"Apple", "apple pie"}});
    const int focus = form.listview1.focusRequests();
    EXPECT_EQ(find("果"), 0);
    EXPECT_EQ(form.listview1.lastScrolledTo(), 0);
    EXPECT_EQ(form.listview1.focusRequests(), focus + 1);
    EXPECT_EQ(find("果"), 0); // with no row selected, the search starts at the first
    EXPECT_EQ(find("实"), 1); // only in the new word
    EXPECT_EQ(find("pie"), 2);
    const std::string hint = form.lbl9.caption();
    EXPECT_EQ(find("apple"), 2); // case-sensitive: "Apple" is no match, "apple pie" is
    EXPECT_EQ(form.lbl9.caption(), hint);

    EXPECT_EQ(find("梨"), -1);
    EXPECT_EQ(form.lbl9.caption(), g("【提示信息】没有找到【梨】"));
    EXPECT_EQ(find(""), -1);
    EXPECT_EQ(form.lbl9.caption(), g("【提示信息】没有找到【】"));
}

TEST_F(ManagePageTest, FindPressedAgainFindsTheNextMatchAndGoesRound) {
    open({{"苹果", "水果"}, {"香蕉", "x"}, {"果实", "y"}, {"梨", "z"}, {"x", "坚果"}});
    form.bsSkinEdit3.setText(g("果"));
    form.listview1.setSelected(-1);
    form.lbl9.setCaption("before");
    std::vector<int> found;
    std::vector<std::string> notes;
    for (int press = 0; press < 5; ++press) {
        form.bsSkinXFormButton6Click();
        found.push_back(form.listview1.selected());
        notes.push_back(form.lbl9.caption());
    }
    EXPECT_EQ(found, (std::vector<int>{0, 2, 4, 0, 2}));
    // Going round from the last row to the first is said; the rest leaves the line.
    const std::string round = g("【提示信息】已找到最后一行，从头继续查找【果】");
    EXPECT_EQ(notes, (std::vector<std::string>{"before", "before", "before", round, round}));

    // The one matching row, selected, is found again.
    form.bsSkinEdit3.setText(g("梨"));
    form.bsSkinXFormButton6Click();
    form.bsSkinXFormButton6Click();
    EXPECT_EQ(form.listview1.selected(), 3);
}

TEST_F(ManagePageTest, FindNeverMatchesAcrossTwoDoubleByteCharacters) {
    // "丂" is 81 40 in GBK; "@" alone (40) sits inside it. "中" (D6 D0) occurs
    // byte-wise in "字" (D7 D6) followed by "形" (D0 CE).
    open({{"丂", "x"}, {"字形", "y"}, {"中@", "z"}});
    EXPECT_EQ(find("@"), 2);
    EXPECT_EQ(find("中"), 2);
}

TEST_F(ManagePageTest, SelectAllFollowsTheBox) {
    open({{"甲", "乙"}, {"丙", "丁"}});
    form.listview1.setChecked(1, true);
    form.bschck7.setChecked(true);
    form.bschck7Click();
    EXPECT_TRUE(form.listview1.item(0).checked && form.listview1.item(1).checked);
    form.bschck7.setChecked(false);
    form.bschck7Click();
    EXPECT_FALSE(form.listview1.item(0).checked || form.listview1.item(1).checked);
}

} // namespace
