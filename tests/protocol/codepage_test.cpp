// Conversions at the edges: every character comes through (GBK keeps its
// bytes, the rest gets its four-byte form), and four-byte characters come
// through every rewrite step, the cipher and the database untouched.
#include <gtest/gtest.h>

#include <random>

#include "engine/protected_words.h"
#include "engine/shuffle.h"
#include "engine/synonyms.h"
#include "engine/textutil.h"
#include "protocol/cipher_gbk.h"
#include "protocol/codepage.h"
#include "support/fixtures.h"
#include "thesaurus/keyword_store.h"

namespace {

TEST(Codepage, EveryCharacterComesThroughBothWays) {
    struct Case {
        const char* utf8;
        std::string gbk; // expected bytes inside the program
    } cases[] = {
        {"美丽的中国，好！", "\xC3\xC0\xC0\xF6\xB5\xC4\xD6\xD0\xB9\xFA\xA3\xAC\xBA\xC3\xA3\xA1"},
        {"😀", "\x94\x39\xFC\x36"},            // emoji
        {"𠮷", "\x95\x34\xB2\x35"},           // CJK extension B
        {"한", "\x83\x36\x84\x33"},           // Hangul, in the BMP but not in GBK
        {"€", "\x80"},                        // code page 936's one-byte euro sign
        {"\xEF\xBB\xBF", "\x84\x31\x95\x33"}, // the byte-order mark as a character
        {"a😀，𠮷。한!", "a\x94\x39\xFC\x36\xA3\xAC\x95\x34\xB2\x35\xA1\xA3\x83\x36\x84\x33!"},
    };
    for (const Case& c : cases) {
        const std::string gbk = cp::utf8ToGbk(c.utf8);
        EXPECT_EQ(gbk, c.gbk) << c.utf8;
        EXPECT_EQ(cp::gbkToUtf8(gbk), c.utf8);
        EXPECT_EQ(cp::utf16ToGbk(cp::gbkToUtf16(gbk)), gbk) << c.utf8;
        EXPECT_EQ(cp::utf16ToUtf8(cp::gbkToUtf16(gbk)), c.utf8);
    }
    // Malformed input is still replaced, in place, also in bulk.
    std::string bad, expected;
    for (int i = 0; i < 5000; ++i) {
        bad += "\xFF"
               "a";
        expected += "\xEF\xBF\xBD"
                    "a";
    }
    EXPECT_EQ(cp::gbkToUtf8(bad), expected);
    // A four-byte form that maps to no character is one character: one U+FFFD,
    // its digits not shown as text of their own.
    EXPECT_EQ(cp::gbkToUtf8("a\x84\x32\x81\x30z"), "a\xEF\xBF\xBDz");
    EXPECT_EQ(cp::gbkToUtf16("a\x84\x32\x81\x30z"), u"a\uFFFDz");
    EXPECT_EQ(cp::gbkToUtf8("\x8F\x39\xFE\x39\x84\x32\x81\x30"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(cp::utf8ToGbk("a\xC3(b\xF0\x9F"), "a?(b??");
    EXPECT_EQ(cp::utf16ToGbk(u"x\xD800y"), "x?y");
    // Which texts GBK proper holds (the vendor server's rule for accounts).
    EXPECT_TRUE(cp::fitsGbk("美丽 € ok"));
    EXPECT_FALSE(cp::fitsGbk("美丽😀"));
    EXPECT_FALSE(cp::fitsGbk("\xC3("));
}

TEST(Codepage, PathsComeBackAsTheBytesTheyWere) {
    const std::string paths[] = {
        "/home/user/工具/한글/config.txt", "/tmp/😀 €/",
        "/data/\xFF\xFE\x80/a\xC3",    // not UTF-8 at all
        "/x/\x84\x32\x81\x30\xE4\xB8", // the carrier's own bytes, and a cut character
        std::string("/n\0l", 4),
    };
    for (const std::string& p : paths) {
        const std::string inside = cp::fsToGbk(p);
        EXPECT_EQ(cp::gbkToFs(inside), p) << p;
        if (cp::isValidUtf8(p)) {
            EXPECT_EQ(inside, cp::utf8ToGbk(p));
        }
    }
    // Two different byte strings never share a text.
    EXPECT_NE(cp::fsToGbk("/a\xFF"), cp::fsToGbk("/a\xFE"));

    // Only the 128 escape forms (84 32 81 30 to 84 32 8D 37) stand for bytes;
    // the forms after them are no character and no byte: U+FFFD, as anywhere.
    const struct {
        std::string inside;
        std::string fs;
    } forms[] = {
        {"\x84\x32\x81\x30", "\x80"},         // the first escape
        {"\x84\x32\x8D\x37", "\xFF"},         // the last one
        {"\x84\x32\x8D\x38", "\xEF\xBF\xBD"}, // the first form after them
        {"/\x84\x32\x94\x38/", "/\xEF\xBF\xBD/"},
        {"\x84\x32\xFE\x39", "\xEF\xBF\xBD"},
    };
    for (const auto& f : forms)
        EXPECT_EQ(cp::gbkToFs(f.inside), f.fs) << cp::gbkToUtf8(f.inside);
}

// A thesaurus word, a delimiter or a protected word next to four-byte
// characters: nothing matches inside one, and every step keeps them whole.
TEST(Codepage, FourByteCharactersSurviveEveryStep) {
    const std::string smile = g("😀"), yoshi = g("𠮷"), hangul = g("한");
    // The second half of 𠮷 and the first half of 😀 form the four-byte
    // character U+7A2D3: a walk by two-byte units would find it between them.
    const std::string straddle = "\xB2\x35\x94\x39";
    ASSERT_EQ(yoshi.substr(2) + smile.substr(0, 2), straddle);
    struct Case {
        std::string text;
        StringList originals, replacements;
        std::string expected;
    } cases[] = {
        {smile + g("美丽") + yoshi, {g("美丽")}, {g("漂亮")}, smile + g("漂亮") + yoshi},
        {yoshi + smile, {straddle}, {"X"}, yoshi + smile},
        {yoshi + straddle + smile, {straddle}, {"X"}, yoshi + "X" + smile},
        {hangul + smile + hangul, {smile + hangul}, {g("笑")}, hangul + g("笑")},
        // Digits are no trail bytes: "4" next to a four-byte character is its own.
        {smile + "4" + yoshi, {"4", "9"}, {g("四"), g("九")}, smile + g("四") + yoshi},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(replaceSynonymsReference(c.text, c.originals, c.replacements), c.expected);
        SynonymReplacer fast;
        fast.build(c.originals, c.replacements);
        EXPECT_EQ(fast.apply(c.text), c.expected);
    }

    ProtectedWordFinder protect;
    protect.build({straddle, smile});
    const auto spans = protect.find(yoshi + smile);
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_EQ(spans[0].begin, 4u);

    // The shuffle cuts only at delimiters and inserts the keyword between
    // fragments: every character of the article and keyword is there whole.
    const std::string article = smile + g("，") + yoshi + g("。") + hangul + "!" + straddle + ";a";
    engine::ShuffleOptions options;
    options.keyword = smile + hangul;
    options.frequency = 2;
    std::mt19937_64 random(7);
    engine::MatchTexts matches;
    const std::string shuffled = engine::daluan(article, options, random, matches);
    EXPECT_EQ(matches.size(), 4u);
    const std::u16string shown = cp::gbkToUtf16(shuffled);
    EXPECT_EQ(shown.find(u'\uFFFD'), std::u16string::npos);
    for (const char* part : {"😀", "𠮷", "한", "\xF1\xBA\x8B\x93", "a", "，", "。", "!", ";"})
        EXPECT_NE(shown.find(cp::utf8ToUtf16(part)), std::u16string::npos) << part;
    EXPECT_EQ(cp::utf16ToGbk(shown), shuffled);

    // The cipher and the database hand them back as they were.
    EXPECT_EQ(cipher::decryptToGbk(cipher::encryptGbk(article)), article);
    TempDir dir;
    auto store = KeywordStore::create((dir.path() / "setting.dat").string());
    store->append(smile + g("美丽"), yoshi + straddle, true);
    KeywordRecord rec;
    auto cursor = store->all();
    ASSERT_TRUE(cursor.next(rec));
    EXPECT_EQ(rec.ow, smile + g("美丽"));
    EXPECT_EQ(rec.nw, yoshi + straddle);
}

} // namespace
