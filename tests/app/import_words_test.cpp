// "导入词库": a pair list into setting.dat with the checks of the command
// line's import, the counts on the page's status line, the rows listed.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/form_fixture.h"

namespace {

struct ImportWordsTest : DatabaseFormTest {
    std::vector<std::string> stored() {
        std::vector<std::string> out;
        auto cursor = form.Database->all();
        for (KeywordRecord r; cursor.next(r);)
            out.push_back(cp::gbkToUtf8(r.ow + "," + r.nw + (r.isused ? "" : ",off")));
        return out;
    }
    void importFile(const std::string& bytes) {
        writeFileBytes(dir.path() / "list.txt", bytes);
        platform.fileAnswers.push_back((dir.path() / "list.txt").string());
        form.run([this] { form.btn20Click(); });
    }
};

TEST_F(ImportWordsTest, AddsNewPairsAndCountsDuplicatesAndRefusedLines) {
    open({{"美丽", "漂亮"}});
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> stored; // after the import
        const char* lbl9;
    } cases[] = {
        {"GBK, as the export writes it",
         g("美丽,漂亮,是\r\r\n迅速,快速,否\r\r\n开心,高兴\r\r\n"),
         {"美丽,漂亮", "迅速,快速,off", "开心,高兴"},
         "【提示信息】导入完成：新增2个词对，重复或已存在1个，拒绝0行。"},
        {"UTF-8 with refused lines",
         "好,佳\n坏\n \n一,二,三,四\n好,佳\n甲,乙,也许\n丙,  \n丁,戊\n己,庚\n辛,壬\n",
         {"美丽,漂亮", "迅速,快速,off", "开心,高兴", "好,佳", "丁,戊", "己,庚", "辛,壬"},
         "【提示信息】导入完成：新增4个词对，重复或已存在1个，拒绝4行（第2、4、6、7"
         "行格式不对，每行应为“原始词,新词,是”或“原始词,新词”）。"},
        {"more refused lines than are named",
         "a\nb\nc\nd\ne\nf\n",
         {"美丽,漂亮", "迅速,快速,off", "开心,高兴", "好,佳", "丁,戊", "己,庚", "辛,壬"},
         "【提示信息】导入完成：新增0个词对，重复或已存在0个，拒绝6行（第1、2、3、4、5等"
         "行格式不对，每行应为“原始词,新词,是”或“原始词,新词”）。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        importFile(c.bytes);
        EXPECT_EQ(stored(), c.stored);
        EXPECT_EQ(form.lbl9.caption(), g(c.lbl9));
        // Listed, and in use for replacement at once.
        EXPECT_EQ(form.listview1.count(), static_cast<int>(c.stored.size()));
    }
    EXPECT_EQ(form.OriginalWords.size(), 6u);
    EXPECT_EQ(platform.count("openFile"), 3);
    EXPECT_TRUE(platform.errors().empty());
}

TEST_F(ImportWordsTest, CancelledOrUnreadableChangesNothing) {
    open({{"美丽", "漂亮"}});
    form.lbl9.setCaption("before");
    form.run([this] { form.btn20Click(); }); // cancelled
    EXPECT_EQ(form.lbl9.caption(), "before");

    const std::string missing = (dir.path() / "none.txt").string();
    platform.fileAnswers.push_back(missing);
    form.run([this] { form.btn20Click(); });
    EXPECT_EQ(form.lbl9.caption(),
              g("【提示信息】无法读取") + missing + g("：文件不存在或没有读取权限"));
    platform.fileAnswers.push_back(dir.str());
    form.run([this] { form.btn20Click(); });
    EXPECT_EQ(form.lbl9.caption(), g("【提示信息】无法读取") + dir.str() + g("：它不是普通文件"));
    EXPECT_EQ(stored(), std::vector<std::string>{"美丽,漂亮"});
    EXPECT_TRUE(platform.errors().empty());
}

} // namespace
