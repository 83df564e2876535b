// Conversions at the edges, where the output outgrows its first guess or the
// input holds many characters that cannot be converted.
#include <gtest/gtest.h>

#include "engine/codepage.h"

namespace {

TEST(Codepage, BadCharactersBecomeReplacementsInPlace) {
    // Every invalid GBK byte becomes U+FFFD (three UTF-8 bytes each).
    std::string bad;
    for (int i = 0; i < 5000; ++i)
        bad += "\xFF"
               "a";
    std::string expected;
    for (int i = 0; i < 5000; ++i)
        expected += "\xEF\xBF\xBD"
                    "a";
    EXPECT_TRUE(cp::gbkToUtf8(bad) == expected);

    // Characters GBK cannot hold become "?", the others convert.
    std::string utf8;
    for (int i = 0; i < 3000; ++i)
        utf8 += "中😀";
    std::string gbk;
    for (int i = 0; i < 3000; ++i)
        gbk += "\xD6\xD0?";
    EXPECT_TRUE(cp::utf8ToGbk(utf8) == gbk);
}

TEST(Codepage, RoundTripsThroughUtf16) {
    const std::string text = cp::G("中文，English；全角！\r\n");
    std::string big;
    for (int i = 0; i < 2000; ++i)
        big += text;
    EXPECT_TRUE(cp::utf16ToGbk(cp::gbkToUtf16(big)) == big);
    EXPECT_TRUE(cp::utf16ToUtf8(cp::gbkToUtf16(big)) == cp::gbkToUtf8(big));
}

} // namespace
