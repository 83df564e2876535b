// Output names, result text and paths of batch items.
#include <gtest/gtest.h>

#include "app/batch_lines.h"
#include "app/controls.h"
#include "batch/items.h"
#include "support/fixtures.h"

namespace {

TEST(BatchItems, OutputNames) {
    const std::string longAscii(300, 'a');
    const std::string longChinese = [] {
        std::string s;
        for (int i = 0; i < 120; ++i)
            s += g("文");
        return s;
    }();
    struct Case {
        std::string line;
        int index;
        std::string name;
    } cases[] = {
        {"http://127.0.0.1:8600/get_test.asp?id=7", 6,
         "http___127.0.0.1_8600_get_test.asp_id=7_6.txt"},
        {"a:b/c*d?e<f>g|h\\i\"j", 12, "a_b_c_d_e_f_g_h\\i\"j_12.txt"}, // only the seven change
        {g("文章") + "/1", 0, g("文章") + "_1_0.txt"},
        {"\xD5\x7C|", 1, "\xD5\x7C__1.txt"}, // a character whose second byte is "|"
        {"", 3, "_3.txt"},
        // Shortened to 255 bytes, keeping the index end.
        {longAscii, 7, std::string(249, 'a') + "_7.txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(batch::outputName(c.line, c.index), c.name) << c.line;

    // 120 Chinese characters are 360 bytes on disk: cut at a whole character.
    const std::string name = batch::outputName(longChinese, 12345);
    const std::string onDisk = cp::gbkToUtf8(name);
    EXPECT_LE(onDisk.size(), 255u);
    EXPECT_GE(onDisk.size(), 253u);
    EXPECT_EQ(onDisk.substr(onDisk.size() - 10), "_12345.txt");
    EXPECT_EQ(cp::utf8ToGbk(onDisk), name); // no half character

    // Emoji are four-byte forms in the program and four bytes on disk; the cut
    // takes whole ones only, whatever room the index leaves (an odd number of
    // bytes for its halves included).
    const std::string smile = g("😀");
    std::string emoji;
    for (int i = 0; i < 100; ++i)
        emoji += smile;
    for (const auto& [index, kept] : {std::pair{7, 62}, {100, 61}, {12345, 61}}) {
        SCOPED_TRACE(index);
        std::string stem;
        for (int i = 0; i < kept; ++i)
            stem += smile;
        const std::string cut = batch::outputName(emoji, index);
        EXPECT_EQ(cut, stem + "_" + std::to_string(index) + ".txt");
        EXPECT_LE(cp::gbkToUtf8(cut).size(), 255u);
        EXPECT_EQ(cp::utf8ToGbk(cp::gbkToUtf8(cut)), cut);
    }
}

TEST(BatchItems, ResultTextMarkersAndPaths) {
    EXPECT_EQ(batch::resultText("a\nb\rc\r\nd"), "a\r\nb\r\nc\r\nd\r\n");
    EXPECT_EQ(batch::resultText("a\r\n"), "a\r\n"); // the final break is not doubled
    EXPECT_EQ(batch::resultText(std::string("a\0b", 3)), "a\r\n");
    EXPECT_EQ(batch::joinPath("/x/out", "a.txt"), "/x/out/a.txt");
    EXPECT_EQ(batch::joinPath("/x/out/", "a.txt"), "/x/out/a.txt");
    EXPECT_EQ(batch::withoutMarkers("u" + g("[完毕][空内容][完毕]")), "u");
    EXPECT_EQ(batch::withoutMarkers(g("[完毕]") + "u"), g("[完毕]") + "u");
    EXPECT_EQ(batch::postBody(g("名 1"), "a&b=c"), "id=%C3%FB+1&content=a%26b%3Dc");
}

TEST(BatchItems, MarkersGoToTheirLinesAndKeepTheOtherBytes) {
    TMemo memo("mmo2");
    memo.setText("a\nb\rc\r\n\r\nd\r\n");
    const std::string done = batch::doneMarker();
    batch::markLine(memo, 4, done); // marks arrive in any order
    batch::markLine(memo, 0, "x");
    batch::markLine(memo, 0, done);
    batch::markLine(memo, 5, done); // no such line: nothing changes
    batch::markLine(memo, -1, done);
    std::string line;
    EXPECT_TRUE(batch::lineOf(memo, 0, line));
    EXPECT_EQ(line, "ax" + done);
    EXPECT_TRUE(batch::lineOf(memo, 2, line));
    EXPECT_EQ(line, "c");
    EXPECT_FALSE(batch::lineOf(memo, 5, line));
    EXPECT_EQ(memo.text(), "ax" + done + "\nb\rc\r\n\r\nd" + done + "\r\n");
    batch::markLine(memo, 1, done); // after the text was read whole
    EXPECT_EQ(memo.lines(), (StringList{"ax" + done, "b" + done, "c", "", "d" + done}));

    // A new text drops marks not yet merged into the old one.
    batch::markLine(memo, 2, done);
    memo.setText("n");
    batch::markLine(memo, 0, done);
    EXPECT_EQ(memo.text(), "n" + done);
}

} // namespace
