// The record operations against a real setting.dat: add, edit, delete and the
// in-use switch, with their rows and status texts.
#include <gtest/gtest.h>

#include <functional>

#include "app/Unit1.h"
#include "support/fixtures.h"
#include "support/form_fixture.h"
#include "support/recording_platform.h"
#include "thesaurus/keyword_store.h"

namespace {

struct KeywordOpsTest : DatabaseFormTest {
    std::optional<KeywordRecord> record(const std::string& id) {
        return form.Database->findById(id);
    }
    StringList row(int i) const { return form.listview1.item(i).subItems; }
    std::string missing(const std::string& id) const {
        return g("【提示信息】ID") + id + g("不存在，可能已经删除，请重新加载词库！");
    }
};

TEST_F(KeywordOpsTest, AddStoresAppendsRowWithAssignedIdAndReports) {
    open({{"甲", "乙"}, {"丙", "丁"}});
    form.Database->remove("2");
    form.addKeyWord(g("中国"), g("中华"), false, "add");
    ASSERT_EQ(form.listview1.count(), 3);
    // The caption is the id the database assigned, not a row number.
    EXPECT_EQ(form.listview1.item(2).caption, "3");
    EXPECT_EQ(row(2), (StringList{g("中国"), g("中华"), g("否")}));
    EXPECT_EQ(form.lbl9.caption(), g("【提示信息】中国添加成功"));
    ASSERT_TRUE(record("3"));
    EXPECT_FALSE(record("3")->isused);
    // The in-memory replacement lists wait for the next load.
    EXPECT_EQ(form.OriginalWords, (StringList{g("甲"), g("丙")}));
}

TEST_F(KeywordOpsTest, DuplicateTestComparesBothWords) {
    open({{"美丽", "漂亮"}});
    form.addKeyWord(g("美丽"), g("好看"), true, "add"); // same ow, other nw: stored
    EXPECT_EQ(form.listview1.count(), 2);
    form.addKeyWord(g("美丽"), g("漂亮"), true, "add");
    EXPECT_EQ(form.listview1.count(), 2);
    EXPECT_EQ(form.Database->count(), 2);
    EXPECT_EQ(form.lbl9.caption(), g("【提示信息】美丽已经存在于本地数据库"));

    const std::string lbl9 = form.lbl9.caption();
    form.addKeyWord(g("美丽"), g("漂亮"), true, "download");
    EXPECT_EQ(form.lbl3.caption(), g("【提示信息】美丽已经存在于本地数据库"));
    EXPECT_EQ(form.lbl9.caption(), lbl9);
}

TEST_F(KeywordOpsTest, DownloadAndOtherModesReportOnTheirLabels) {
    open({});
    const std::string lbl9 = form.lbl9.caption();
    form.addKeyWord(g("快"), g("迅速"), true, "download");
    EXPECT_EQ(form.lbl3.caption(), g("【提示信息】快添加成功"));
    EXPECT_EQ(form.lbl9.caption(), lbl9);
    const std::string lbl3 = form.lbl3.caption();
    form.addKeyWord(g("慢"), g("迟缓"), true, "batch");
    EXPECT_EQ(form.lbl3.caption(), lbl3);
    EXPECT_EQ(form.lbl9.caption(), lbl9);
    EXPECT_EQ(form.listview1.count(), 2);
    EXPECT_EQ(form.Database->count(), 2);
}

TEST_F(KeywordOpsTest, QuotesAndGbkWordsAreOrdinaryCharacters) {
    open({});
    const std::string ow = g("它's \"引号\" ''"), nw = g("a'; DROP TABLE keyword; --");
    form.addKeyWord(ow, nw, true, "add");
    EXPECT_TRUE(platform.errors().empty());
    form.addKeyWord(ow, nw, true, "add");
    EXPECT_EQ(form.lbl9.caption(), g("【提示信息】") + ow + g("已经存在于本地数据库"));
    form.EditKeyWord(0, "1", nw, ow, true);
    form.loadDB();
    ASSERT_EQ(form.listview1.count(), 1);
    EXPECT_EQ(row(0), (StringList{nw, ow, g("是")}));
    EXPECT_EQ(form.Database->findPair(nw, ow)->id, "1");
}

TEST_F(KeywordOpsTest, EditUpdatesRecordAndRow) {
    open({{"甲", "乙"}, {"丙", "丁"}});
    form.EditKeyWord(1, "2", g("戊"), "", false);
    EXPECT_EQ(form.lbl9.caption(), g("【提示信息】ID2修改成功"));
    EXPECT_EQ(row(1), (StringList{g("戊"), "", g("否")}));
    auto r = record("2");
    EXPECT_EQ(r->ow, g("戊"));
    EXPECT_EQ(r->nw, ""); // no emptiness test in edits
    EXPECT_FALSE(r->isused);
    EXPECT_EQ(row(0), (StringList{g("甲"), g("乙"), g("是")}));
}

TEST_F(KeywordOpsTest, EditFindsItsRowByIdAfterRowsAboveWereDeleted) {
    open({{"一", "1"}, {"二", "2"}, {"三", "3"}});
    form.DeleteKeyWord(0, "1");
    // Index 2 no longer exists; the pair with id 3 is now row 1.
    form.EditKeyWord(2, "3", g("叁"), "III", true);
    EXPECT_EQ(row(0), (StringList{g("二"), "2", g("是")}));
    EXPECT_EQ(row(1), (StringList{g("叁"), "III", g("是")}));
    // With the row itself gone (removed from the list only), the record still changes.
    form.listview1.remove(1);
    form.EditKeyWord(1, "3", g("三"), "3", false);
    EXPECT_EQ(form.lbl9.caption(), g("【提示信息】ID3修改成功"));
    EXPECT_EQ(record("3")->ow, g("三"));
    EXPECT_EQ(row(0), (StringList{g("二"), "2", g("是")}));
}

TEST_F(KeywordOpsTest, MissingOrNonNumericIdReportsNotPresentAndChangesNothing) {
    open({{"甲", "乙"}, {"丙", "丁"}});
    form.Database->remove("2");
    form.EditKeyWord(1, "2", "x", "y", true);
    EXPECT_EQ(form.lbl9.caption(), missing("2"));
    form.DeleteKeyWord(1, "2");
    EXPECT_EQ(form.lbl9.caption(), missing("2"));
    form.IsusedKeyWord(1, "2");
    EXPECT_EQ(form.lbl9.caption(), missing("2")); // the page's own status line
    EXPECT_EQ(form.listview1.count(), 2);
    EXPECT_EQ(row(1), (StringList{g("丙"), g("丁"), g("是")}));

    for (const std::string id : {"1 OR 1=1", "abc", "", "1'", "1.0"}) {
        form.run([&] { form.DeleteKeyWord(0, id); });
        EXPECT_EQ(form.lbl9.caption(), missing(id));
    }
    EXPECT_TRUE(platform.errors().empty());
    EXPECT_EQ(form.Database->count(), 1);
}

TEST_F(KeywordOpsTest, DeleteRemovesRecordAndRow) {
    open({{"甲", "乙"}, {"丙", "丁"}, {"戊", "己"}});
    form.DeleteKeyWord(1, "2");
    EXPECT_EQ(form.lbl9.caption(), g("【提示信息】ID2删除成功"));
    EXPECT_FALSE(record("2"));
    ASSERT_EQ(form.listview1.count(), 2);
    EXPECT_EQ(form.listview1.item(1).caption, "3");
}

TEST_F(KeywordOpsTest, SwitchTakesTheNewStateFromTheRow) {
    open({{"甲", "乙"}, {"丙", "丁", false}});
    form.IsusedKeyWord(0, "1");
    EXPECT_EQ(form.lbl9.caption(), g("【提示信息】ID1更改使用状态成功"));
    EXPECT_EQ(row(0)[2], g("否"));
    EXPECT_FALSE(record("1")->isused);
    // Anything but "是" on the row switches on, whatever the record says.
    form.listview1.setSubItem(1, 2, "?");
    form.Database->setUsed("2", true);
    form.IsusedKeyWord(1, "2");
    EXPECT_EQ(row(1)[2], g("是"));
    EXPECT_TRUE(record("2")->isused);
}

TEST_F(KeywordOpsTest, DatabaseFailurePropagatesAndLeavesRowsAndLabels) {
    open({{"甲", "乙"}});
    form.Database->db().exec("CREATE TRIGGER refuse BEFORE INSERT ON keyword "
                             "BEGIN SELECT RAISE(ABORT, 'insert refused'); END");
    form.Database->db().exec("CREATE TRIGGER refuse2 BEFORE UPDATE ON keyword "
                             "BEGIN SELECT RAISE(ABORT, 'update refused'); END");
    const std::string lbl9 = form.lbl9.caption();
    form.run([&] { form.addKeyWord("x", "y", true, "add"); });
    form.run([&] { form.EditKeyWord(0, "1", "x", "y", true); });
    form.run([&] { form.IsusedKeyWord(0, "1"); });
    ASSERT_EQ(platform.errors().size(), 3u);
    EXPECT_NE(platform.errors()[0].find("insert refused"), std::string::npos);
    EXPECT_EQ(form.lbl9.caption(), lbl9);
    EXPECT_EQ(form.listview1.count(), 1);
    EXPECT_EQ(row(0), (StringList{g("甲"), g("乙"), g("是")}));
}

TEST_F(KeywordOpsTest, DatabaseFailuresAreExplainedInChineseBeforeTheTechnicalText) {
    open({{"甲", "乙"}});
    SqliteDb& db = form.Database->db();
    SqliteDb other = SqliteDb::openExisting((dir.path() / "setting.dat").string());
    db.exec("PRAGMA busy_timeout = 10");
    const std::string big(20000, 'x');
    struct Case {
        std::function<void()> breakIt, mendIt;
        const char *said, *technical;
    } cases[] = {
        {[&] { db.exec("PRAGMA query_only = 1"); }, [&] { db.exec("PRAGMA query_only = 0"); },
         "词库文件 setting.dat 不能写入", "readonly"},
        {[&] { other.exec("BEGIN EXCLUSIVE"); }, [&] { other.exec("ROLLBACK"); },
         "词库文件 setting.dat 正被另一个程序占用", "locked"},
        {[&] { db.exec("PRAGMA max_page_count = 1"); }, [] {}, "磁盘已满", "full"},
    };
    for (const Case& c : cases) {
        platform.calls.clear();
        c.breakIt();
        form.run([&] { form.addKeyWord(big, "y", true, "add"); });
        c.mendIt();
        ASSERT_EQ(platform.errors().size(), 1u) << c.technical;
        const std::string text = platform.errors()[0];
        EXPECT_EQ(text.rfind(g(c.said), 0), 0u) << c.technical;
        EXPECT_GT(text.find(c.technical), text.find(g("技术信息："))) << c.technical;
    }
    EXPECT_EQ(form.listview1.count(), 1);
}

} // namespace
