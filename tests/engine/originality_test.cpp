// The originality score: which characters count, the shingles, the rounding.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "engine/originality.h"
#include "support/fixtures.h"

namespace {

TEST(Originality, ScoresTable) {
    struct Case {
        const char* source;
        const char* result;
        int expected;
    };
    const Case cases[] = {
        // Worked example: 今天天气很好 -> 今天天气不错. Result shingles 今天天气,
        // 天天气不, 天气不错; only the first is in the source: 2 of 3 = 66%.
        {"今天天气很好", "今天天气不错", 66},
        {"今天天气很好", "今天天气很好", 0},
        {"今天天气很好", "明日阳光灿烂", 100},
        // Punctuation, spaces and line breaks do not count, wherever they are.
        {"今天，天气 很好。", "今天天气\r\n很好！", 0},
        // Fewer than 4 counted characters in the result: 0.
        {"今天天气很好", "好的。", 0},
        {"", "", 0},
        {"", "abc", 0},
        // Letters and digits count, full-width forms are characters of their own.
        {"abcd", "abcd", 0},
        {"abcd", "ＡＢＣＤ", 100},
        {"2024年", "2024年", 0},
        // Shingles count by position: 甲乙丙丁 twice in the result, once new.
        {"甲乙丙丁", "甲乙丙丁甲乙丙丁", 60},
        // Rounded down: 1 of 3 -> 33.
        {"甲乙丙丁戊", "甲乙丙丁己", 50},
        {"甲乙丙丁戊己", "甲乙丙丁戊庚", 33},
    };
    for (const Case& c : cases)
        EXPECT_EQ(engine::originality(g(c.source), g(c.result)), c.expected)
            << c.source << " -> " << c.result;
}

TEST(Originality, CharactersOutsideGbkAndBadBytes) {
    // 𠀀𠀁 (CJK extension B) in their four-byte GB18030 form count as two
    // ideographs; bytes that do not decode count as nothing.
    const std::string extB = "\x95\x32\x82\x36\x95\x32\x82\x37";
    EXPECT_EQ(engine::originality(g("甲乙"), extB + g("甲乙")), 100);
    EXPECT_EQ(engine::originality(extB + g("甲乙"), extB + g("甲乙")), 0);
    EXPECT_EQ(engine::originality(g("甲乙丙丁"), g("甲乙") + "\xFF\x81" + g("丙丁")), 0);
}

// The score against a plain reference (shingles as strings in a set) on
// random texts over a few characters, so that shingles repeat and overlap.
TEST(Originality, AgreesWithAPlainReferenceOnRandomTexts) {
    const std::vector<std::string> alphabet = {g("甲"), g("乙"), g("丙"), "a", "7", g("，"), " "};
    std::mt19937 random(12345);
    auto text = [&](size_t length) {
        std::vector<std::string> chars;
        for (size_t i = 0; i < length; ++i)
            chars.push_back(alphabet[random() % alphabet.size()]);
        return chars;
    };
    auto shingles = [](const std::vector<std::string>& chars) {
        std::vector<std::string> counted, out;
        for (const auto& c : chars)
            if (c != g("，") && c != " ") counted.push_back(c);
        for (size_t i = 0; i + 4 <= counted.size(); ++i)
            out.push_back(counted[i] + counted[i + 1] + counted[i + 2] + counted[i + 3]);
        return out;
    };
    auto joined = [](const std::vector<std::string>& chars) {
        std::string s;
        for (const auto& c : chars)
            s += c;
        return s;
    };
    for (int round = 0; round < 500; ++round) {
        const auto source = text(random() % 60), result = text(random() % 60);
        const auto known = shingles(source), produced = shingles(result);
        const std::set<std::string> seen(known.begin(), known.end());
        const size_t fresh = static_cast<size_t>(
            std::count_if(produced.begin(), produced.end(),
                          [&](const std::string& s) { return !seen.count(s); }));
        const int expected = produced.empty() ? 0 : static_cast<int>(fresh * 100 / produced.size());
        ASSERT_EQ(engine::originality(joined(source), joined(result)), expected) << round;
    }
}

TEST(Originality, TallyAveragesRoundedDown) {
    engine::OriginalityTally tally;
    EXPECT_EQ(tally.average(), 0);
    for (int p : {50, 51, 100})
        tally.add(p);
    EXPECT_EQ(tally.count(), 3);
    EXPECT_EQ(tally.average(), 67);
}

} // namespace
