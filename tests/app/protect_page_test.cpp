// The protected words on the thesaurus page: add, refuse, remove, and the
// list that follows setting.dat across a reload.
#include <gtest/gtest.h>

#include "support/form_fixture.h"
#include "thesaurus/protect_store.h"

namespace {

using ProtectPageTest = DatabaseFormTest;

TEST_F(ProtectPageTest, AddRefuseRemoveAndReload) {
    open({{"美丽", "漂亮"}});
    EXPECT_EQ(form.lv3.count(), 0);
    const struct {
        const char* word;
        const char* status;
    } adds[] = {
        {"美丽中国", "【提示信息】保护词【美丽中国】添加成功"},
        {"美丽中国", "【提示信息】保护词【美丽中国】已经存在"},
        {"  ", "【提示信息】必须输入保护词！"},
        {"a\tb", "【提示信息】保护词不能含有换行等控制字符！"},
        {"品牌", "【提示信息】保护词【品牌】添加成功"},
    };
    for (const auto& a : adds) {
        form.edt9.setText(g(a.word));
        form.run([this] { form.btn16Click(); });
        EXPECT_EQ(form.lbl9.caption(), g(a.status)) << a.word;
    }
    EXPECT_EQ(form.ProtectedWords, (StringList{g("美丽中国"), g("品牌")}));
    EXPECT_EQ(form.lv3.count(), 2);
    // In effect at once, without a reload.
    EXPECT_EQ(form.TongYiCi(g("美丽中国的美丽")), g("美丽中国的漂亮"));

    form.run([this] { form.btn17Click(); });
    EXPECT_EQ(form.lbl9.caption(), g("【提示信息】请先在保护词列表中选中要删除的词！"));
    form.lv3.setSelected(0);
    form.run([this] { form.btn17Click(); });
    EXPECT_EQ(form.lbl9.caption(), g("【提示信息】保护词【美丽中国】删除成功"));
    EXPECT_EQ(form.ProtectedWords, StringList{g("品牌")});
    EXPECT_EQ(form.TongYiCi(g("美丽中国")), g("漂亮中国"));

    // setting.dat holds them: a reload shows the same list.
    protect::add(form.Database->db(), g("新词"));
    form.run([this] { form.bsSkinXFormButton4Click(); });
    EXPECT_EQ(form.ProtectedWords, (StringList{g("品牌"), g("新词")}));
    EXPECT_EQ(form.lv3.item(1).caption, g("新词"));
    EXPECT_TRUE(platform.errors().empty());
}

} // namespace
