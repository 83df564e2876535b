// Export of the checked rows: dialog, file bytes and the 100-row limit.
#include <gtest/gtest.h>

#include "app/Unit1.h"
#include "support/fixtures.h"
#include "support/recording_platform.h"

namespace {

struct ExportTest : ::testing::Test {
    TempDir dir;
    RecordingPlatform platform;
    TForm1 form{platform, FormOptions{dir.dirText(), 1}};

    void rows(int n, bool checked) {
        for (int i = 1; i <= n; ++i)
            form.listview1.append(
                {std::to_string(i), {"w" + std::to_string(i), "n", g("是")}, checked});
    }
    std::string exportTo(const std::string& name) {
        platform.fileAnswers.push_back((dir.path() / name).string());
        form.run([&] { form.btn6Click(); });
        return (dir.path() / name).string();
    }
    static int lines(const std::string& bytes) {
        int n = 0;
        for (size_t p = 0; (p = bytes.find("\r\r\n", p)) != std::string::npos; p += 3)
            ++n;
        return n;
    }
};

TEST_F(ExportTest, WritesCheckedRowsAsShownWithCrCrLf) {
    form.listview1.append({"1", {g("中国"), g("中华"), g("是")}, true});
    form.listview1.append({"2", {"skip", "me", g("是")}, false});
    form.listview1.append({"3", {g("它,的"), "b'c", g("否")}, true});
    const std::string path = exportTo("words.TXT");
    ASSERT_EQ(platform.count("saveFile"), 1);
    EXPECT_EQ(platform.calls[0].text, g("导出同义词为文本") + "|" + g("文本文件") + "|*.TXT");
    EXPECT_EQ(readFileBytes(path), g("中国,中华,是") + "\r\r\n" + g("它,的,b'c,否") + "\r\r\n");
    EXPECT_EQ(form.lbl9.caption(), g("成功导出到：") + path);
}

TEST_F(ExportTest, ExtensionIsAddedOnlyWhenMissing) {
    rows(1, true);
    exportTo("plain");
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "plain.TXT"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "plain"));
    EXPECT_EQ(form.lbl9.caption(), g("成功导出到：") + (dir.path() / "plain.TXT").string());
    exportTo("list.csv");
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "list.csv"));
}

TEST_F(ExportTest, NothingCheckedGivesAnEmptyFileAndCancelDoesNothing) {
    rows(3, false);
    writeFileBytes(dir.path() / "old.txt", "old content");
    exportTo("old.txt");
    EXPECT_EQ(readFileBytes(dir.path() / "old.txt"), "");
    const std::string hint = form.lbl9.caption();
    form.btn6Click(); // no scripted answer: cancelled
    EXPECT_EQ(form.lbl9.caption(), hint);
}

TEST_F(ExportTest, AtMostOneHundredLines) {
    rows(100, true);
    EXPECT_EQ(lines(readFileBytes(exportTo("a.txt"))), 100);
    EXPECT_EQ(form.lbl9.caption().rfind(g("成功导出到："), 0), 0u);

    form.listview1.clear();
    rows(150, true);
    form.listview1.setChecked(0, false);
    const std::string bytes = readFileBytes(exportTo("b.txt"));
    EXPECT_EQ(lines(bytes), 100);
    EXPECT_EQ(bytes.rfind("w2,", 0), 0u); // first checked row in list order
    EXPECT_NE(bytes.find("w101,"), std::string::npos);
    EXPECT_EQ(bytes.find("w102,"), std::string::npos);
    EXPECT_EQ(form.lbl9.caption(), g("导出超过了100条，请分批导出。"));
}

TEST_F(ExportTest, UnwritableFileGoesToTheErrorBox) {
    rows(2, true);
    const std::string hint = form.lbl9.caption();
    exportTo("no-such-dir/x.txt");
    EXPECT_EQ(platform.errors().size(), 1u);
    EXPECT_EQ(form.lbl9.caption(), hint);
}

} // namespace
