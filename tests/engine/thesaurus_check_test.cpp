// The thesaurus check: each kind of finding on a minimal thesaurus, and the
// indexed check against the pairwise definition on random thesauri.
#include <gtest/gtest.h>

#include <random>

#include "engine/textutil.h"
#include "engine/thesaurus_check.h"
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

} // namespace
