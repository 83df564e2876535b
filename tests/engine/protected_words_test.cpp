// Protected words in synonym replacement, and the marks of replaced words.
#include <gtest/gtest.h>

#include "engine/synonyms.h"
#include "support/fixtures.h"

namespace {

// The UTF-8 form of a result with every run of marked bytes in brackets.
std::string shown(const std::string& text, const std::string& marks) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        size_t j = i;
        while (j < text.size() && marks[j] == marks[i])
            ++j;
        const std::string run = cp::gbkToUtf8(text.substr(i, j - i));
        out += marks[i] ? "[" + run + "]" : run;
        i = j;
    }
    return out;
}

TEST(ProtectedWords, ReplacementAroundThemTable) {
    struct Case {
        StringList protect; // UTF-8
        std::vector<std::pair<const char*, const char*>> pairs;
        const char* text;
        const char* expected; // replaced words in brackets
    };
    const Case cases[] = {
        // Nothing protected: every replaced word is marked, chains included.
        {{},
         {{"美丽", "漂亮"}, {"漂亮", "好看"}, {"好", "很好"}},
         "美丽的花好",
         "[很好看]的花[很好]"},
        // At the start and at the end.
        {{"美丽"}, {{"美丽", "漂亮"}}, "美丽的花美丽", "美丽的花美丽"},
        {{"花"}, {{"美丽", "漂亮"}, {"花", "草"}}, "美丽的花", "[漂亮]的花"},
        // A thesaurus word overlapping a protected word never matches.
        {{"中国"}, {{"国人", "民众"}, {"人", "者"}}, "中国人", "中国[者]"},
        {{"苹果"}, {{"红苹", "X"}, {"果汁", "饮料"}}, "红苹果汁", "红苹果汁"},
        // Next to a replacement: the new word cannot merge with it.
        {{"苹果"}, {{"红", "大"}, {"大苹", "X"}}, "红苹果", "[大]苹果"},
        // Longest first: the longer protected word covers the shorter one,
        // and overlapping occurrences join.
        {{"苹果", "苹果手机"}, {{"手机", "电话"}}, "苹果手机和手机", "苹果手机和[电话]"},
        {{"苹果", "果汁"}, {{"汁", "液"}, {"苹", "萍"}}, "苹果汁", "苹果汁"},
        // One lying strictly inside another: the longer stays protected to its end.
        {{"苹果手机", "果手"}, {{"机", "器"}, {"苹", "萍"}}, "苹果手机", "苹果手机"},
        {{"果手", "苹果手机"}, {{"机", "器"}}, "苹果手机，果手机", "苹果手机，果手[器]"},
        // A protected word does not protect a text that only holds part of it.
        {{"苹果手机"}, {{"苹果", "香蕉"}}, "苹果手", "[香蕉]手"},
    };
    for (const Case& c : cases) {
        StringList o, n, protect;
        for (const auto& [ow, nw] : c.pairs) {
            o.push_back(g(ow));
            n.push_back(g(nw));
        }
        for (const auto& w : c.protect)
            protect.push_back(g(w));
        SynonymReplacer r;
        r.build(o, n);
        ProtectedWordFinder finder;
        finder.build(protect);
        ReplaceTrace trace;
        const std::string text = g(c.text);
        const std::string result = r.apply(text, finder.find(text), trace, true);
        EXPECT_EQ(shown(result, trace.marks), c.expected) << c.text;
    }
}

TEST(ProtectedWords, StretchesAtCharacterBoundaries) {
    ProtectedWordFinder finder;
    EXPECT_TRUE(finder.find(g("任何文字")).empty());
    finder.build({g("。"), "", "ab", "\xB0"});
    EXPECT_FALSE(finder.empty());
    // ！， holds the bytes of 。 across its two characters: no stretch there.
    EXPECT_EQ(finder.find(g("！，。ab")), (std::vector<TextSpan>{{4, 6}, {6, 8}}));
    EXPECT_TRUE(finder
                    .find("\x81"
                          "ab")
                    .empty());
    // Only empty or cut words: nothing to protect.
    finder.build({"", "\xB0"});
    EXPECT_TRUE(finder.empty());
}

TEST(ProtectedWords, CountsEveryReplacement) {
    SynonymReplacer r;
    r.build({g("美丽"), g("漂亮")}, {g("漂亮"), g("好看")});
    ReplaceTrace trace;
    EXPECT_EQ(r.apply(g("美丽，美丽，漂亮"), {}, trace, false), g("好看，好看，好看"));
    // Two by the first pair, then three by the second, two of them on words
    // the first pair put in.
    EXPECT_EQ(trace.replacements, 5u);
    EXPECT_TRUE(trace.marks.empty());
}

} // namespace
