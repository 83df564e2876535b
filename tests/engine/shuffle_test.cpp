// The shuffle: ExprTest's marking, the worked example with a fixed seed, and
// the invariants on random articles.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "engine/shuffle.h"
#include "support/fixtures.h"

namespace {

using engine::daluan;
using engine::ExprTest;
using engine::MatchTexts;
using engine::ShuffleOptions;

std::string shuffled(const std::string& text, const ShuffleOptions& o, uint64_t seed = 1) {
    std::mt19937_64 rng(seed);
    MatchTexts matches;
    return daluan(text, o, rng, matches);
}

TEST(ExprTest, MarksEveryDelimiterAndListsThemInOrder) {
    MatchTexts matches;
    matches.push_back("stale");
    const auto lines =
        ExprTest(engine::DelimiterPattern(), g("甲，乙。丙！丁;戊：己？庚、\r\na.b,c"), matches);
    EXPECT_EQ(matches, (StringList{g("，"), g("。"), g("！"), ";", ".", ","}));
    EXPECT_EQ(lines, (StringList{g("甲[@]乙[@]丙[@]丁[@]戊：己？庚、"), "a[@]b[@]c"}));
    EXPECT_EQ(engine::DelimiterPattern().size(), 22u);
}

TEST(ExprTest, IgnoresCaseAndReplacesExactlyAsRepeatedReplaceAll) {
    MatchTexts matches;
    EXPECT_EQ(ExprTest("x", "aXbx", matches), StringList{"a[@]b[@]"});
    EXPECT_EQ(matches, (StringList{"X", "x"}));
    // A matched text the marker rebuilds is replaced again on its next match.
    EXPECT_EQ(ExprTest("]", "]]", matches), StringList{"[@[@][@[@]"});
    // Longer matches are replaced one matched text after the other.
    EXPECT_EQ(ExprTest("ab|bc", "abcbc", matches), StringList{"[@]c[@]"});
    EXPECT_EQ(matches, (StringList{"ab", "bc"}));
    // Bytes of 。 across two characters are not a full stop.
    EXPECT_EQ(ExprTest(engine::DelimiterPattern(), g("！，"), matches), StringList{"[@][@]"});
    EXPECT_EQ(matches, (StringList{g("！"), g("，")}));
}

TEST(ExprTest, BadPatternThrowsAndLeavesTheListAlone) {
    MatchTexts matches;
    matches.push_back("kept");
    EXPECT_THROW(ExprTest("(", "text", matches), std::runtime_error);
    EXPECT_EQ(matches, StringList{"kept"});
}

TEST(Daluan, WorkedExample) {
    // Seed 20 gives the order 丙 | CR LF | 甲 | 乙.
    ShuffleOptions o;
    EXPECT_EQ(shuffled(g("甲，乙。丙！"), o, 20), g("丙！\r\n。甲，乙。"));
    o.stripBreaks = true;
    EXPECT_EQ(shuffled(g("甲，乙。丙！"), o, 20), g("丙！。甲，乙。"));
}

TEST(Daluan, NeverCutsAProtectedWord) {
    ProtectedWordFinder protect;
    protect.build({"Web2.0", "Yahoo!"});
    ShuffleOptions o;
    o.stripBreaks = true;
    o.keyword = "KW";
    o.frequency = 30; // every fragment gets the keyword
    o.protect = &protect;
    std::mt19937_64 rng(3);
    MatchTexts matches;
    const std::string out = daluan(g("Web2.0很好，Yahoo!不错。"), o, rng, matches);
    // Two cuts, at ， and 。; the marks inside the words stay where they are.
    EXPECT_EQ(matches, (StringList{g("，"), g("。")}));
    EXPECT_NE(out.find("Web2.0" + g("很好")), std::string::npos) << out;
    EXPECT_NE(out.find("Yahoo!" + g("不错")), std::string::npos) << out;
    // Without them the words are cut.
    o.protect = nullptr;
    EXPECT_EQ(daluan(g("Web2.0很好，Yahoo!不错。"), o, rng, matches).find("Web2.0"),
              std::string::npos);
}

TEST(Daluan, SmallAndDegenerateArticles) {
    ShuffleOptions o;
    EXPECT_EQ(shuffled("", o), "");
    // No delimiter: one fragment, ending with CR LF, then the full stop.
    EXPECT_EQ(shuffled(g("没有标点"), o), g("没有标点\r\n。"));
    o.keyword = "KW";
    EXPECT_EQ(shuffled(g("没有标点"), o), g("没有标点\r\nKW。"));
    o.stripBreaks = true;
    EXPECT_EQ(shuffled(g("没有标点\n"), o), g("没有标点KW。"));
    // Only spaces, both strips on: nothing is left, not even the full stop.
    o.keyword.clear();
    EXPECT_EQ(shuffled(g(" 　 \t\r\n  "), o), "");
    // Two fragments always swap.
    EXPECT_EQ(shuffled("a,b", ShuffleOptions{}), "b\r\n,a" + g("。"));
    // Strip spaces removes the spaces inside words too; the keyword keeps its own.
    ShuffleOptions spaces;
    spaces.keyword = " k ";
    EXPECT_EQ(shuffled("hello world", spaces), "helloworld\r\n k " + g("。"));
}

TEST(Daluan, LiteralMarkerCutsWithoutADelimiter) {
    MatchTexts matches;
    std::mt19937_64 rng(5);
    ShuffleOptions o;
    o.stripBreaks = true;
    const std::string out = daluan("a[@]b,c", o, rng, matches);
    EXPECT_EQ(matches, StringList{","});
    // Three fragments, one delimiter: only the first output fragment gets it.
    std::string rest = out;
    ASSERT_EQ(rest.substr(rest.size() - 2), g("。"));
    rest.resize(rest.size() - 2);
    EXPECT_EQ(std::count(rest.begin(), rest.end(), ','), 1);
    EXPECT_EQ(rest.find(','), 1u);
    std::string letters = rest;
    letters.erase(1, 1);
    std::sort(letters.begin(), letters.end());
    EXPECT_EQ(letters, "abc");
}

// The article's fragments and delimiters, found by walking its characters.
struct Cut {
    StringList fragments;
    StringList delimiters;
};

Cut cutAtDelimiters(const std::string& s) {
    static const std::set<std::string> delims = {",",     ":",     ".",     "!",    ";",
                                                 g("，"), g("。"), g("！"), g("；")};
    Cut c{{""}, {}};
    for (size_t i = 0; i < s.size();) {
        const std::string ch = s.substr(i, static_cast<unsigned char>(s[i]) >= 0x81 ? 2 : 1);
        i += ch.size();
        if (delims.count(ch)) {
            c.delimiters.push_back(ch);
            c.fragments.emplace_back();
        } else {
            c.fragments.back() += ch;
        }
    }
    return c;
}

std::string randomArticle(std::mt19937_64& rng) {
    static const StringList pieces = {g("甲"), g("乙"), g("丙"), "a",     "Z",    " ",
                                      g("　"), "\t",    "\r\n",  "\n",    "\r",   g("："),
                                      g("？"), g("、"), ",",     ":",     ".",    "!",
                                      ";",     g("，"), g("。"), g("！"), g("；")};
    std::string s;
    const size_t len = rng() % 80;
    for (size_t i = 0; i < len; ++i)
        s += pieces[rng() % pieces.size()];
    return s;
}

std::string normalised(const std::string& s) {
    return textOf(linesOf(s));
}

std::string without(std::string s, const std::string& what) {
    for (size_t p; (p = s.find(what)) != std::string::npos;)
        s.erase(p, what.size());
    return s;
}

TEST(Daluan, InvariantsOnRandomArticles) {
    std::mt19937_64 rng(4242);
    for (int round = 0; round < 2000; ++round) {
        const std::string article = randomArticle(rng);
        ShuffleOptions o;
        o.stripSpaces = rng() % 2;
        o.stripBreaks = rng() % 2;
        MatchTexts matches;
        const std::string out = daluan(article, o, rng, matches);

        const Cut in = cutAtDelimiters(normalised(article));
        if (article.empty()) {
            EXPECT_EQ(out, "");
            continue;
        }
        EXPECT_EQ(matches, in.delimiters);
        auto strip = [&](std::string f) {
            if (o.stripSpaces) f = without(without(without(f, " "), g("　")), "\t");
            if (o.stripBreaks) {
                size_t b = 0, e = f.size();
                while (b < e && static_cast<unsigned char>(f[b]) <= 0x20)
                    ++b;
                while (e > b && static_cast<unsigned char>(f[e - 1]) <= 0x20)
                    --e;
                f = without(without(f.substr(b, e - b), "\r"), "\n");
            }
            return f;
        };
        StringList expected;
        for (const auto& f : in.fragments)
            expected.push_back(strip(f));
        std::string joined;
        for (const auto& f : expected)
            joined += f;
        if (joined.empty() && in.delimiters.empty()) {
            EXPECT_EQ(out, "");
            continue;
        }
        ASSERT_GE(out.size(), 2u);
        ASSERT_EQ(out.substr(out.size() - 2), g("。"));
        const Cut back = cutAtDelimiters(out.substr(0, out.size() - 2));
        // Delimiters come back in reverse order; fragments as a multiset.
        StringList reversed(in.delimiters.rbegin(), in.delimiters.rend());
        EXPECT_EQ(back.delimiters, reversed) << round;
        StringList got = back.fragments;
        std::sort(got.begin(), got.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(got, expected) << round;
    }
}

TEST(Daluan, KeywordRate) {
    // n - 1 delimiters, n fragments (the last one the closing line break).
    const auto article = [](int n) {
        std::string text;
        for (int i = 0; i < n - 1; ++i)
            text += g("字，");
        text.resize(text.size() - 2);
        return text + g("。");
    };
    std::mt19937_64 rng(77);
    ShuffleOptions o;
    o.keyword = "#";
    auto count = [](const std::string& s) { return std::count(s.begin(), s.end(), '#'); };
    long total = 0;
    const int trials = 4000;
    MatchTexts matches;
    // 21 fragments with v = 5: each gets the keyword with probability 1/4.
    for (int t = 0; t < trials; ++t)
        total += count(daluan(article(21), o, rng, matches));
    EXPECT_NEAR(static_cast<double>(total) / trials, 21.0 / 4, 0.15);
    // Every fragment gets it when v is at least the fragment count, and when
    // the count is a multiple of v (10 at v = 5 gives (10 - 1) / 5 = 1).
    for (const auto& [fragments, v] : {std::pair{21, 30}, std::pair{10, 5}, std::pair{4, 2}})
        for (int t = 0; t < 20; ++t) {
            o.frequency = v;
            EXPECT_EQ(count(daluan(article(fragments), o, rng, matches)), fragments) << v;
        }
    o.frequency = 0;
    EXPECT_THROW(daluan(article(21), o, rng, matches), std::invalid_argument);
}

TEST(Daluan, ShuffleDrawRule) {
    // j is drawn from 0 to n-2: with three fragments the last one always
    // moves, and every fragment can come first.
    std::mt19937_64 rng(3);
    std::set<char> first;
    MatchTexts matches;
    for (int t = 0; t < 200; ++t) {
        const std::string out = daluan("a,b,c", ShuffleOptions{}, rng, matches);
        first.insert(out[0]);
        EXPECT_NE(out.find('c'), out.size() - 5) << out; // "c" CR LF "。" at the end
    }
    EXPECT_EQ(first, (std::set<char>{'a', 'b', 'c'}));
}

} // namespace
