// The full load of the thesaurus into the lists and the management list view.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "app/Unit1.h"
#include "support/fixtures.h"
#include "support/form_fixture.h"
#include "support/recording_platform.h"
#include "thesaurus/keyword_store.h"
#include "app/thesaurus_rows.h"

namespace {

struct LoadTest : DatabaseFormTest {
    void open(const std::vector<PairSpec>& pairs) { DatabaseFormTest::open(pairs, false); }
    StringList captions() const {
        StringList out;
        for (const auto& it : form.listview1.items())
            out.push_back(it.caption);
        return out;
    }
};

TEST_F(LoadTest, EmptyTable) {
    open({});
    form.bsSkinXFormButton4Click();
    EXPECT_EQ(form.listview1.count(), 0);
    EXPECT_TRUE(form.OriginalWords.empty());
    EXPECT_EQ(form.bsSkinGauge1.max(), 0);
    EXPECT_TRUE(form.ThesaurusLoaded);
    EXPECT_EQ(form.Label1.caption(), g("【提示信息】初始化完毕，您现在可以使用软件替换文章了"));
}

TEST_F(LoadTest, RowsForEveryRecordListsForInUseOnesInIdOrder) {
    open({{"中国", "中华"}, {"美丽", "漂亮", false}, {"中国", "华夏"}, {"", "空"}, {"好", ""}});
    form.loadDB();
    EXPECT_EQ(captions(), (StringList{"1", "2", "3", "4", "5"}));
    const auto& row = form.listview1.item(1);
    EXPECT_EQ(row.subItems, (StringList{g("美丽"), g("漂亮"), g("否")}));
    EXPECT_FALSE(row.checked);
    EXPECT_EQ(form.listview1.item(0).subItems[2], g("是"));
    // Duplicates of one original word are both kept, in id order.
    EXPECT_EQ(form.OriginalWords, (StringList{g("中国"), g("中国"), "", g("好")}));
    EXPECT_EQ(form.NewWords, (StringList{g("中华"), g("华夏"), g("空"), ""}));
    EXPECT_EQ(form.bsSkinGauge1.max(), 5);
    EXPECT_EQ(form.bsSkinGauge1.value(), 5);
    // The window gets a chance to repaint after every record.
    EXPECT_GE(platform.processEventsCalls, 5);
}

TEST_F(LoadTest, AllUnusedAndNullFields) {
    open({{"甲", "乙", false}, {"丙", "丁", false}});
    form.Database->db().exec("INSERT INTO keyword(ow, nw, isused) VALUES(NULL, NULL, 0)");
    form.Database->db().exec("UPDATE keyword SET isused=NULL WHERE id=3");
    form.loadDB();
    EXPECT_EQ(form.listview1.count(), 3);
    EXPECT_TRUE(form.OriginalWords.empty());
    EXPECT_TRUE(form.NewWords.empty());
    EXPECT_EQ(form.listview1.item(2).subItems, (StringList{"", "", g("否")}));
}

TEST_F(LoadTest, ReloadRequestedDuringALoadLeavesOneCompleteCopy) {
    std::vector<PairSpec> pairs;
    for (int i = 0; i < 50; ++i)
        pairs.push_back({"w" + std::to_string(i), "n" + std::to_string(i), i % 3 != 0});
    open(pairs);
    int calls = 0;
    platform.onProcessEvents = [&] {
        // Halfway through the first load the user presses the reload button
        // and, meanwhile, another record is added and one is deleted.
        if (++calls == 20) {
            form.Database->append("late", "added", true);
            form.Database->remove("2");
            form.bsSkinXFormButton4Click();
        }
    };
    form.bsSkinXFormButton4Click();
    EXPECT_TRUE(form.ThesaurusLoaded);
    EXPECT_EQ(form.listview1.count(), 50);
    StringList expected;
    for (const KeywordRecord& rec : form.Database->readAll())
        if (rec.isused) expected.push_back(rec.ow);
    EXPECT_EQ(form.OriginalWords, expected);
    EXPECT_EQ(form.OriginalWords.size(), form.NewWords.size());
    EXPECT_EQ(form.Label1.caption(), g("【提示信息】初始化完毕，您现在可以使用软件替换文章了"));
}

TEST_F(LoadTest, CommandsRunDuringALoadLeaveOneRowPerRecordInIdOrder) {
    std::vector<PairSpec> pairs;
    for (int i = 0; i < 30; ++i)
        pairs.push_back({"w" + std::to_string(i), "n" + std::to_string(i)});
    open(pairs);
    // Each command runs once, after some rows are listed; the download's
    // request lets events run again, which only counts.
    const auto caption = [&](int row) { return form.listview1.item(row).caption; };
    const std::map<int, std::function<void()>> commands{
        {5, [&] { form.addKeyWord("added", "now", true, "add"); }},
        {8, [&] { form.DeleteKeyWord(2, caption(2)); }},
        {10, [&] { form.EditKeyWord(0, caption(0), "e", "f", false); }},
        {12, [&] { form.IsusedKeyWord(3, caption(3)); }},
        {15, [&] { form.addKeyWord("down", "loaded", true, "download"); }},
        {20, [&] { form.DeleteKeyWord(form.listview1.count() - 1, "31"); }}};
    int calls = 0;
    platform.onProcessEvents = [&] {
        if (auto it = commands.find(++calls); it != commands.end()) it->second();
    };
    form.bsSkinXFormButton4Click();
    const auto text = [](const std::string& id, const StringList& subs) {
        std::string out = id;
        for (const auto& s : subs)
            out += "|" + s;
        return out;
    };
    StringList expected, shown;
    for (const KeywordRecord& rec : form.Database->readAll())
        expected.push_back(text(rec.id, rows::rowOf(rec).subItems));
    for (const ListItem& item : form.listview1.items())
        shown.push_back(text(item.caption, item.subItems));
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(expected.size(), 30u); // 30 + 2 added - 2 deleted
    EXPECT_EQ(form.bsSkinGauge1.max(), 30);
    EXPECT_EQ(form.bsSkinGauge1.value(), 30);
}

TEST_F(LoadTest, DuringAReloadTheFlagIsDown) {
    open({{"甲", "乙"}});
    bool seenDuringLoad = true;
    platform.onProcessEvents = [&] { seenDuringLoad = form.ThesaurusLoaded; };
    form.bsSkinXFormButton4Click();
    EXPECT_FALSE(seenDuringLoad);
    EXPECT_TRUE(form.ThesaurusLoaded);
}

TEST_F(LoadTest, DatabaseFailureKeepsWhatWasLoadedAndFlagStaysDown) {
    open({{"甲", "乙"}, {"丙", "丁"}});
    form.Database->db().exec("DROP TABLE keyword");
    form.run([&] { form.bsSkinXFormButton4Click(); });
    EXPECT_EQ(platform.errors().size(), 1u);
    EXPECT_FALSE(form.ThesaurusLoaded);
    EXPECT_EQ(form.listview1.count(), 0);
}

} // namespace
