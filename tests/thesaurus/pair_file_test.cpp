// Reading the pair-file format and importing its pairs in one transaction.
#include <gtest/gtest.h>

#include "support/fixtures.h"
#include "thesaurus/keyword_store.h"
#include "thesaurus/pair_file.h"
#include "thesaurus/pair_import.h"

namespace {

using pairfile::Encoding;

std::vector<int> malformedLines(const pairfile::Parsed& p) {
    std::vector<int> out;
    for (const auto& m : p.malformed)
        out.push_back(m.line);
    return out;
}

TEST(PairFileTest, LineEndsBlankLinesAndTheFlag) {
    const std::string text = g("甲,乙,是") + "\r\r\n" + g("丙,丁,否") + "\r\n" + "\r\r\n" +
                             g("戊,己") + "\n" + "  \n" + g("a b , c ,  否 ");
    auto p = pairfile::parse(text, Encoding::Gbk);
    EXPECT_TRUE(p.malformed.empty());
    ASSERT_EQ(p.pairs.size(), 4u);
    EXPECT_EQ(p.pairs[0].ow, g("甲"));
    EXPECT_TRUE(p.pairs[0].isused);
    EXPECT_FALSE(p.pairs[1].isused);
    EXPECT_EQ(p.pairs[2].line, 4);
    EXPECT_TRUE(p.pairs[2].isused); // no flag: in use
    // Words are kept as written; only the flag is trimmed.
    EXPECT_EQ(p.pairs[3].ow, "a b ");
    EXPECT_EQ(p.pairs[3].nw, " c ");
    EXPECT_FALSE(p.pairs[3].isused);
    EXPECT_EQ(p.pairs[3].line, 6);
}

TEST(PairFileTest, MalformedLinesWithTheirNumbers) {
    const std::string text = "no comma\n"             // 1
                             "a,b,c,d\n"              // 2 a comma too many
                             ",b\n"                   // 3
                             "a,\n"                   // 4
                             "  ,b\n"                 // 5
                             "a,b,maybe\n"            // 6
                             "a,b,\n"                 // 7
                             "a\tb\n"                 // 8
                             "a\x01,b\n"              // 9
                             "\xFF\xFE,b\n"           // 10 not GBK
                             + g("美丽，漂亮") + "\n" // 11 Chinese comma
                             + "ok,fine\n";           // 12
    auto p = pairfile::parse(text, Encoding::Gbk);
    EXPECT_EQ(malformedLines(p), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    ASSERT_EQ(p.pairs.size(), 1u);
    EXPECT_EQ(p.pairs[0].line, 12);
    for (const auto& m : p.malformed)
        EXPECT_FALSE(m.reason.empty());
}

TEST(PairFileTest, Utf8InputBecomesGbk) {
    const std::string text = "\xEF\xBB\xBF美丽,漂亮,否\r\n"
                             "😀,smile\n"     // its four-byte GB18030 form
                             "\xC3\x28,x\n"; // not UTF-8
    auto p = pairfile::parse(text, Encoding::Utf8);
    ASSERT_EQ(p.pairs.size(), 2u);
    EXPECT_EQ(p.pairs[0].ow, g("美丽"));
    EXPECT_FALSE(p.pairs[0].isused);
    EXPECT_EQ(p.pairs[1].ow, "\x94\x39\xFC\x36");
    EXPECT_EQ(malformedLines(p), (std::vector<int>{3}));
}

struct ImportTest : ::testing::Test {
    TempDir dir;
    std::unique_ptr<KeywordStore> store;
    void SetUp() override {
        makeDatabase(dir.path() / "setting.dat", {{"美丽", "漂亮"}});
        store = KeywordStore::open((dir.path() / "setting.dat").string());
    }
};

TEST_F(ImportTest, AddsNewPairsAndSkipsDuplicatesByBothWords) {
    auto parsed = pairfile::parse(g("美丽,漂亮\n美丽,好看,否\n它's,x\n美丽,好看\n"), Encoding::Gbk);
    auto r = importPairs(*store, parsed.pairs);
    EXPECT_EQ(r.added, 2);
    EXPECT_EQ(r.duplicateLines, (std::vector<int>{1, 4}));
    EXPECT_EQ(store->count(), 3);
    auto rec = store->findPair(g("美丽"), g("好看"));
    ASSERT_TRUE(rec);
    EXPECT_FALSE(rec->isused);
    EXPECT_TRUE(store->findPair(g("它's"), "x"));
}

TEST_F(ImportTest, AFailureLeavesTheTableAsItWas) {
    store->db().exec("CREATE TRIGGER refuse BEFORE INSERT ON keyword WHEN NEW.ow='boom' "
                     "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    auto parsed = pairfile::parse("a,b\nc,d\nboom,x\ne,f\n", Encoding::Gbk);
    EXPECT_THROW(importPairs(*store, parsed.pairs), DbError);
    EXPECT_EQ(store->count(), 1);
    EXPECT_FALSE(store->findPair("a", "b"));
    // The store stays usable.
    store->append("a", "b", true);
    EXPECT_EQ(store->count(), 2);
}

} // namespace
