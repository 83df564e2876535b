// Marks of a memo in its editor: byte stretches of the GBK text mapped to the
// editor's positions (the window test sees them drawn).
#include <gtest/gtest.h>

#include "support/fixtures.h"
#include "ui/memo_marks.h"
#include "ui/qt_text.h"

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

} // namespace
