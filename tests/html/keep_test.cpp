// Rewriting a page's text with its markup kept: what is rewritten, what stays
// byte for byte, and the encodings it is written back in.
#include <gtest/gtest.h>

#include "html/keep.h"
#include "protocol/codepage.h"

namespace {

using cp::G;

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

// The rewrite of the tests: the word 甲 becomes 乙 (and 不得不爱 becomes 只得爱).
std::string rewrite(const std::string& gbk) {
    return replaceAll(replaceAll(gbk, G("甲"), G("乙")), G("不得不爱"), G("只得爱"));
}

std::string keepUtf8(const std::string& page, const html::TextRewriter& r = rewrite) {
    html::KeepResult k = html::rewriteKeepingMarkup(page, "text/html; charset=utf-8", r);
    EXPECT_TRUE(k.ok()) << k.error;
    return k.page;
}

TEST(Keep, RewritesTextAndLeavesEveryConstructAsItWas) {
    struct Row {
        const char* what;
        const char* page;
        const char* expected;
    };
    const Row rows[] = {
        {"text", "<p>甲和甲</p>", "<p>乙和乙</p>"},
        {"attributes", "<a href=\"/s?q=甲\" title='甲' data-x=甲>甲</a>",
         "<a href=\"/s?q=甲\" title='甲' data-x=甲>乙</a>"},
        {"quoted >", "<a title=\"a>甲\">甲</a>", "<a title=\"a>甲\">乙</a>"},
        {"form value", "<input type=submit value=甲><button>甲</button>",
         "<input type=submit value=甲><button>甲</button>"},
        {"comment", "<!-- 甲 -->甲<!--->甲<!-->甲", "<!-- 甲 -->乙<!--->乙<!-->乙"},
        {"unclosed comment", "甲<!-- 甲 <p>甲", "乙<!-- 甲 <p>甲"},
        {"bogus comment", "<?甲?>甲<!甲>甲", "<?甲?>乙<!甲>乙"},
        {"script", "<script>var s=\"甲</p>\";</script>甲", "<script>var s=\"甲</p>\";</script>乙"},
        {"escaped script", "<script><!--<script>甲</script>甲--></script>甲",
         "<script><!--<script>甲</script>甲--></script>乙"},
        {"script escape closed at once", "<script><!--><script></script>甲",
         "<script><!--><script></script>乙"},
        {"style", "<style>/*甲*/</style>甲", "<style>/*甲*/</style>乙"},
        {"textarea", "<textarea>甲<b>甲</b></textarea>甲", "<textarea>甲<b>甲</b></textarea>乙"},
        {"pre and code", "<pre>甲</pre><code>甲</code><p>甲", "<pre>甲</pre><code>甲</code><p>乙"},
        {"code left open", "<p><code>甲</p><p>甲</code>甲", "<p><code>甲</p><p>甲</code>乙"},
        {"select", "<select><option>甲</select>甲", "<select><option>甲</select>乙"},
        {"svg", "<svg><text>甲</text></svg><p>甲", "<svg><text>甲</text></svg><p>乙"},
        {"title", "<title>甲&amp;甲</title>", "<title>乙&amp;乙</title>"},
        {"references", "甲&nbsp;甲&#30002;&#x7532;&amp甲", "乙&nbsp;乙&#30002;&#x7532;&amp乙"},
        {"blanks kept", "<p>\n  甲 \n</p>", "<p>\n  乙 \n</p>"},
        {"page ends in a tag", "甲<a href=\"甲", "乙<a href=\"甲"},
        {"stray end tags", "甲</span></div>甲", "乙</span></div>乙"},
        // A pair spanning an inline tag or a reference does not fire.
        {"pair across a tag", "不得<b>不爱</b>，不得不爱", "不得<b>不爱</b>，只得爱"},
        {"pair across a reference", "不得&#19981;爱", "不得&#19981;爱"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(keepUtf8(r.page), r.expected);
    }
}

// A '<' or '&' that would read as markup is escaped; one that a browser
// reads as text, as the page had it, stays as it was.
TEST(Keep, WhatTheRewritePutsInNeverReadsAsMarkup) {
    auto tagger = [](const std::string& gbk) {
        return replaceAll(gbk, G("甲"), "<b>&lt<!&#20013;&y&1");
    };
    EXPECT_EQ(keepUtf8("<p>甲</p>", tagger), "<p>&lt;b>&amp;lt&lt;!&amp;#20013;&amp;y&1</p>");
    auto swap = [](const std::string& gbk) { return replaceAll(gbk, G("甲"), G("乙")); };
    EXPECT_EQ(keepUtf8("<p>1 < 2 && 3 <= 甲 &</p>", swap), "<p>1 < 2 && 3 <= 乙 &</p>");
    // A title's text ends only at "</title": any other '<' in it is text.
    EXPECT_EQ(keepUtf8("<title>甲</b><i>甲</title)甲</title>", swap),
              "<title>乙</b><i>乙</title)乙</title>");
    auto closer = [](const std::string& gbk) { return replaceAll(gbk, G("甲"), "</TITLE><b>"); };
    EXPECT_EQ(keepUtf8("<title>甲</title>", closer), "<title>&lt;/TITLE><b></title>");
}

TEST(Keep, WritesThePageBackInItsOwnEncoding) {
    struct Row {
        const char* what;
        std::string page, contentType, expected;
    };
    const std::string gbkPage = G("<meta charset=gbk><p>甲</p>");
    const std::string big5Page = "<meta charset=big5><p>\xA5\xD2</p>"; // 甲 in Big5
    const Row rows[] = {
        {"GBK stays GBK", gbkPage, "", G("<meta charset=gbk><p>乙</p>")},
        {"UTF-8 stays UTF-8", "<meta charset=utf-8><p>甲</p>", "", "<meta charset=utf-8><p>乙</p>"},
        {"undeclared GBK", G("<p>甲</p>"), "", G("<p>乙</p>")},
        {"HTTP charset", G("<p>甲</p>"), "text/html; charset=GB2312", G("<p>乙</p>")},
        // 乙 is in Big5 (A441): the page stays Big5.
        {"Big5", big5Page, "", "<meta charset=big5><p>\xA4\x41</p>"},
        {"UTF-8 with BOM", "\xEF\xBB\xBF<p>甲</p>", "", "\xEF\xBB\xBF<p>乙</p>"},
        {"UTF-16LE", std::string("\xFF\xFE<\0p\0>\0\x32\x75", 10), "",
         std::string("\xFF\xFE<\0p\0>\0\x59\x4E", 10)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        html::KeepResult k = html::rewriteKeepingMarkup(r.page, r.contentType, rewrite);
        EXPECT_TRUE(k.ok()) << k.error;
        EXPECT_EQ(k.page, r.expected);
        EXPECT_EQ(k.changed, 1u);
    }
}

TEST(Keep, CharactersTheEncodingLacksBecomeReferences) {
    // 乙 -> 丟 is fine in Big5, but the simplified 丢 (U+4E22) is not in Big5.
    auto simplify = [](const std::string& gbk) { return replaceAll(gbk, G("甲"), G("丢")); };
    html::KeepResult k =
        html::rewriteKeepingMarkup("<meta charset=big5><p>\xA5\xD2</p>", "", simplify);
    EXPECT_EQ(k.page, "<meta charset=big5><p>&#20002;</p>");
}

TEST(Keep, BytesTheEncodingDoesNotKnowAreLeftAlone) {
    // A piece with an invalid byte is not given to the rewrite at all.
    const std::string page = "<meta charset=utf-8><p>甲\xFF</p><p>甲</p>";
    EXPECT_EQ(keepUtf8(page), "<meta charset=utf-8><p>甲\xFF</p><p>乙</p>");
}

} // namespace
