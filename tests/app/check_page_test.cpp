// The thesaurus check on the page: findings over the in-use rows, and a
// chosen finding selecting its pair's row.
#include <gtest/gtest.h>

#include "support/form_fixture.h"

namespace {

using CheckPageTest = DatabaseFormTest;

TEST_F(CheckPageTest, FindingsListAndChoosingOne) {
    open({{"美丽", "漂亮"}, {"花", "草", false}, {"漂亮", "美丽"}, {"花", "花"}});
    form.run([this] { form.btn15Click(); });
    EXPECT_EQ(form.lbl9.caption(), g("【提示信息】词库体检完毕：3个启用的词对，发现2个问题"));
    ASSERT_EQ(form.lv4.count(), 2);
    EXPECT_EQ(form.lv4.item(0).caption, g("互相抵消"));
    EXPECT_EQ(form.lv4.item(0).subItems, (StringList{"1,3", g("美丽→漂亮  漂亮→美丽")}));
    EXPECT_EQ(form.lv4.item(1).caption, g("无效替换"));

    form.lv4.setSelected(0);
    form.run([this] { form.lv4SelectItem(); });
    EXPECT_EQ(form.listview1.selected(), 2);
    EXPECT_EQ(form.listview1.lastScrolledTo(), 2);

    // A finding goes with a change of its pair: deleted, edited or switched.
    form.run([this] { form.DeleteKeyWord(3, "4"); });
    ASSERT_EQ(form.lv4.count(), 1);
    EXPECT_EQ(form.lv4.item(0).caption, g("互相抵消"));
    form.run([this] { form.btn15Click(); });
    form.run([this] { form.EditKeyWord(2, "3", g("漂亮"), g("好看"), true); });
    EXPECT_EQ(form.lv4.count(), 0);
    form.run([this] { form.EditKeyWord(2, "3", g("漂亮"), g("美丽"), true); });
    form.run([this] { form.btn15Click(); });
    form.run([this] { form.IsusedKeyWord(0, "1"); });
    EXPECT_EQ(form.lv4.count(), 0);
    form.run([this] { form.IsusedKeyWord(0, "1"); });

    // The row is gone from the list since the check: said so, the selection
    // stays.
    form.run([this] { form.btn15Click(); });
    ASSERT_EQ(form.lv4.count(), 1);
    form.listview1.remove(2);
    form.listview1.setSelected(1);
    form.lv4.setSelected(0);
    form.run([this] { form.lv4SelectItem(); });
    EXPECT_EQ(form.lbl9.caption(), g("【提示信息】ID3不存在，可能已经删除，请重新加载词库！"));
    EXPECT_EQ(form.listview1.selected(), 1);
    form.run([this] { form.bsSkinXFormButton4Click(); });

    // Switched off on the page: the next check leaves the pair out.
    form.listview1.setSelected(0);
    form.run([this] { form.N3Click(); });
    form.run([this] { form.btn15Click(); });
    EXPECT_EQ(form.lv4.count(), 0);
    EXPECT_EQ(form.lbl9.caption(), g("【提示信息】词库体检完毕：1个启用的词对，没有发现问题"));
}

// Each kind of finding as the list shows it: its name, the ids of its pairs
// and the pairs themselves.
TEST_F(CheckPageTest, EachKindHasItsRowInTheList) {
    open({{"花", "草"},
          {"树", "木"},
          {"花", "叶"},
          {"中国", "中华"},
          {"中国人", "华人"},
          {"美丽", "漂亮"},
          {"漂亮", "好看"},
          {"的", "的"},
          {"高", "矮"},
          {"矮", "高"}});
    form.run([this] { form.btn15Click(); });
    const struct {
        const char* kind;
        const char* ids;
        const char* pairs;
    } rows[] = {
        {"原始词重复", "1,3", "花→草  花→叶"},       {"被遮蔽", "4,5", "中国→中华  中国人→华人"},
        {"连锁替换", "6,7", "美丽→漂亮  漂亮→好看"}, {"无效替换", "8", "的→的"},
        {"互相抵消", "9,10", "高→矮  矮→高"},
    };
    ASSERT_EQ(form.lv4.count(), static_cast<int>(std::size(rows)));
    for (int i = 0; i < form.lv4.count(); ++i) {
        SCOPED_TRACE(rows[i].kind);
        EXPECT_EQ(form.lv4.item(i).caption, g(rows[i].kind));
        EXPECT_EQ(form.lv4.item(i).subItems, (StringList{rows[i].ids, g(rows[i].pairs)}));
    }
}

} // namespace
