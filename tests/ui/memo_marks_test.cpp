// Marks of a memo in its editor: byte stretches of the GBK text mapped to the
// editor's positions, and drawn as layout formats after a rewrite.
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <gtest/gtest.h>

#include "support/fixtures.h"
#include "ui/memo_marks.h"
#include "ui/qt_text.h"
#include "ui_test_support.h"

namespace {

using Spans = std::vector<std::pair<int, int>>;

TEST(MemoMarks, StretchesMapToEditorPositions) {
    // CR LF and a lone CR are one break each in the editor.
    const std::string text = "a\r\n" + g("漂亮") + "\r" + g("好");
    EXPECT_EQ(ui::displaySpans(text, {{3, 7}, {8, 10}}), (Spans{{2, 4}, {5, 6}}));
    // A four-byte character before a mark: wherever the converter puts it.
    const std::string extB = "\x95\x32\x82\x36";
    const int after = static_cast<int>(ui::memoToQ(extB).size());
    EXPECT_EQ(ui::displaySpans(extB + g("漂亮"), {{4, 8}}), (Spans{{after, after + 2}}));
    // Bytes that are no character: the stretch still lands on its text.
    const std::string bad = "\x81\x30" + g("好") + "\xFF";
    const int start = static_cast<int>(ui::memoToQ("\x81\x30").size());
    EXPECT_EQ(ui::displaySpans(bad, {{2, 4}}), (Spans{{start, start + 1}}));
    EXPECT_TRUE(ui::displaySpans(text, {}).empty());
}

TEST(MemoMarks, DrawnAsFormatsOfTheLayoutOnly) {
    TMemo memo("Memo2");
    QPlainTextEdit editor;
    new ui::MemoMarks(memo, &editor);
    memo.setText(g("很好\r\n漂亮的花"));
    editor.setPlainText(ui::memoToQ(memo.text()));
    memo.setMarks({{0, 4}, {6, 10}});
    ASSERT_TRUE(
        waitUntil([&] { return !editor.document()->firstBlock().layout()->formats().isEmpty(); }));
    const auto first = editor.document()->firstBlock().layout()->formats();
    const auto second = editor.document()->firstBlock().next().layout()->formats();
    ASSERT_EQ(first.size(), 1);
    EXPECT_EQ(first[0].start, 0);
    EXPECT_EQ(first[0].length, 2);
    ASSERT_EQ(second.size(), 1);
    EXPECT_EQ(second[0].start, 0);
    EXPECT_EQ(second[0].length, 2);
    // The text itself carries no colour: copying it copies plain text.
    QTextCursor cursor(editor.document());
    cursor.setPosition(1);
    EXPECT_EQ(cursor.charFormat().background().style(), Qt::NoBrush);

    // A changed text drops the marks.
    memo.setText(memo.text() + "x");
    editor.setPlainText(ui::memoToQ(memo.text()));
    ASSERT_TRUE(
        waitUntil([&] { return editor.document()->firstBlock().layout()->formats().isEmpty(); }));
}

} // namespace
