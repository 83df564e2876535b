// The thesaurus check: each kind of finding on a minimal thesaurus, the
// indexed check against the pairwise definition on random thesauri, and pairs
// that fire inside longer words of a word list (with the list's own parsing
// and word boundaries).
#include <gtest/gtest.h>

#include <random>

#include "engine/textutil.h"
#include "engine/thesaurus_check.h"
#include "engine/word_list.h"
#include "support/fixtures.h"

namespace {

using engine::Finding;
using engine::FindingKind;

std::vector<Finding> check(const std::vector<std::pair<const char*, const char*>>& pairs) {
    StringList o, n;
    for (const auto& [ow, nw] : pairs) {
        o.push_back(g(ow));
        n.push_back(g(nw));
    }
    return engine::checkThesaurus(o, n);
}

TEST(ThesaurusCheck, EachKindTable) {
    using K = FindingKind;
    EXPECT_EQ(check({{"美丽", "漂亮"}, {"漂亮", "美丽"}}),
              (std::vector<Finding>{{K::Undone, {0, 1}}}));
    // Undone needs the whole new word to turn back: 很美丽 -> 很漂亮 is no undo.
    EXPECT_EQ(check({{"美丽", "很漂亮"}, {"漂亮", "美丽"}}),
              (std::vector<Finding>{{K::Chain, {0, 1}}}));
    EXPECT_EQ(check({{"美丽", "漂亮"}, {"漂亮", "好看"}}),
              (std::vector<Finding>{{K::Chain, {0, 1}}}));
    // The same pairs in the other order: only a later pair can rewrite.
    EXPECT_EQ(check({{"漂亮", "好看"}, {"美丽", "漂亮"}}), std::vector<Finding>{});
    EXPECT_EQ(check({{"中国", "中华"}, {"中国人", "华人"}}),
              (std::vector<Finding>{{K::Shadowed, {0, 1}}}));
    EXPECT_EQ(check({{"花", "草"}, {"树", "木"}, {"花", "叶"}, {"花", "枝"}}),
              (std::vector<Finding>{{K::Duplicate, {0, 2, 3}}}));
    EXPECT_EQ(check({{"美丽", "美丽"}}), (std::vector<Finding>{{K::NoOp, {0}}}));
    // One pair in several findings: 中 -> 中国 is chained and shadowed by the next.
    EXPECT_EQ(check({{"中", "中国"}, {"中国", "中华"}}),
              (std::vector<Finding>{{K::Chain, {0, 1}}, {K::Shadowed, {0, 1}}}));
    // Only at character boundaries: ！， holds the bytes of 。.
    EXPECT_EQ(check({{"甲", "！，"}, {"。", "乙"}}), std::vector<Finding>{});
    EXPECT_EQ(check({{"", "甲"}, {"乙", ""}}), std::vector<Finding>{});
}

// The definition, pair by pair.
std::vector<Finding> pairwise(const StringList& o, const StringList& n) {
    auto inside = [](const std::string& word, const std::string& text) {
        std::vector<size_t> at;
        textutil::findOccurrences(text, word, at);
        return !at.empty();
    };
    std::vector<Finding> out;
    for (size_t j = 0; j < o.size(); ++j) {
        if (o[j] == n[j]) out.push_back({FindingKind::NoOp, {j}});
        std::vector<size_t> same;
        for (size_t i = 0; i < o.size(); ++i)
            if (o[i] == o[j]) same.push_back(i);
        if (same.size() > 1 && same.front() == j) out.push_back({FindingKind::Duplicate, same});
        for (size_t i = 0; i < j; ++i) {
            if (inside(o[j], n[i]))
                out.push_back({ReplaceAll(n[i], o[j], n[j]) == o[i] ? FindingKind::Undone
                                                                    : FindingKind::Chain,
                               {i, j}});
            if (o[i] != o[j] && inside(o[i], o[j])) out.push_back({FindingKind::Shadowed, {i, j}});
        }
    }
    std::sort(out.begin(), out.end(), [](const Finding& a, const Finding& b) {
        return a.pairs != b.pairs ? a.pairs < b.pairs : a.kind < b.kind;
    });
    return out;
}

TEST(ThesaurusCheck, AgreesWithThePairwiseDefinition) {
    // Few characters, so that words hold each other often; "\x81" makes words
    // that end inside a character, "\xA3\xAC" and "\xA1\xA3" bytes that meet
    // across a boundary.
    const std::vector<std::string> chars = {"a", "b", "\xA1\xA3", "\xA3\xAC", "\xA3\xA1", "\x81"};
    std::mt19937_64 rng(15);
    auto word = [&] {
        std::string w;
        for (size_t len = rng() % 4; len > 0; --len)
            w += chars[rng() % chars.size()];
        return w;
    };
    for (int round = 0; round < 300; ++round) {
        StringList o, n;
        for (size_t k = 0, m = 1 + rng() % 25; k < m; ++k) {
            o.push_back(word());
            n.push_back(rng() % 5 == 0 && !o.empty() ? o[rng() % o.size()] : word());
        }
        ASSERT_EQ(engine::checkThesaurus(o, n), pairwise(o, n)) << "round " << round;
    }
}

engine::WordList wordList(const char* utf8) {
    return engine::WordList::parse(g(utf8));
}

TEST(ThesaurusCheck, WordListCountsAndBoundaries) {
    const auto list = wordList("大多数 3609 m\n大多 500\n数\n\n  大多 10\r\n可能 300 v\n不能 300\n"
                               "能不能 2\n命令 90\n人 abc\n");
    EXPECT_TRUE(list.counted());
    EXPECT_EQ(list.entries().size(), 8u);
    // A word listed twice keeps its larger count; a word without a number counts 1.
    EXPECT_EQ(list.count(g("大多")), 500u);
    EXPECT_EQ(list.count(g("数")), 1u);
    EXPECT_EQ(list.count(g("人")), 1u);
    EXPECT_EQ(list.count(g("大")), 0u); // only the start of a word
    EXPECT_EQ(list.count(g("多数")), 0u);
    EXPECT_FALSE(wordList("大多数\n").counted());

    // Offsets in characters of two bytes, except for ASCII.
    const std::vector<std::pair<const char*, std::vector<size_t>>> cases = {
        {"可能不能", {0, 4, 8}},       // 可能/不能, not 可/能不能
        {"大多数人", {0, 6, 8}},       // the longest likely word
        {"用git命令", {0, 2, 5, 9}},   // an ASCII run is one word
        {"能不能，好", {0, 6, 8, 10}}, // punctuation stands alone
        {"", {0}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(list.boundaries(g(text)), expected) << text;
}

TEST(ThesaurusCheck, PairsFiringInsideLongerWordsTable) {
    using K = FindingKind;
    const auto list = wordList("大多数 3609\n绝大多数 1322\n大多 500\n甲丁 50\n");
    auto inside = [&](std::vector<std::pair<const char*, const char*>> pairs, uint64_t min = 0) {
        StringList o, n;
        for (const auto& [ow, nw] : pairs) {
            o.push_back(g(ow));
            n.push_back(g(nw));
        }
        return engine::checkThesaurus(o, n, {&list, min});
    };
    auto found = [](size_t pair, std::vector<const char*> words) {
        Finding f{K::InsideWord, {pair}, {}};
        for (const char* w : words)
            f.words.push_back(g(w));
        return f;
    };
    // The most common longer word first; the word itself is no longer word.
    EXPECT_EQ(inside({{"大多", "多半"}}), (std::vector<Finding>{found(0, {"大多数", "绝大多数"})}));
    EXPECT_EQ(inside({{"大多", "多半"}}, 2000), (std::vector<Finding>{found(0, {"大多数"})}));
    EXPECT_EQ(inside({{"大多", "多半"}}, 5000), std::vector<Finding>{});
    // A longer pair first guards the shorter one; the other way round it does not.
    EXPECT_EQ(inside({{"绝大多数", "绝大部分"}, {"大多数", "多数"}, {"大多", "多半"}}),
              std::vector<Finding>{});
    EXPECT_EQ(inside({{"大多", "多半"}, {"大多数", "多数"}}),
              (std::vector<Finding>{found(0, {"大多数", "绝大多数"}), {K::Shadowed, {0, 1}, {}}}));
    // Only matches on the word's own bytes count: 丙丁 meets 丁 only after 甲
    // became 乙丙, so it does not fire inside 甲丁 (it is 甲 that does).
    EXPECT_EQ(inside({{"甲", "乙丙"}, {"丙丁", "戊"}}), (std::vector<Finding>{found(0, {"甲丁"})}));
    // Only at character boundaries: the trail byte of 多 and the lead byte of
    // 数 (B6 E0 CA FD) make no character.
    EXPECT_EQ(engine::checkThesaurus({"\xE0\xCA"}, {"x"}, {&list, 0}), std::vector<Finding>{});
}

} // namespace
