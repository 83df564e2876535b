// The rewrite pipeline against the steps it strings together: for a table of
// settings, its result must be the synonym step's then the shuffle's, byte
// for byte, with the same seed.
#include "engine/pipeline.h"

#include <gtest/gtest.h>

#include "engine/originality.h"
#include "engine/shuffle.h"
#include "support/fixtures.h"

namespace {

struct Case {
    const char* name;
    engine::RewriteSettings settings;
    StringList protect; // UTF-8
};

engine::RewriteSettings settings(bool synonyms, bool shuffle, bool stripSpaces = true,
                                 bool stripBreaks = false, const char* keyword = "",
                                 int frequency = 5) {
    engine::RewriteSettings s;
    s.synonyms = synonyms;
    s.shuffle = shuffle;
    s.shuffleSettings = {stripSpaces, stripBreaks, g(keyword), frequency};
    return s;
}

TEST(Pipeline, EachSettingGivesTheStepsOfThatSettingInOrder) {
    const StringList originals = {g("美丽"), g("中国"), g("漂亮的花")};
    const StringList replacements = {g("漂亮"), g("中华"), g("好看的草")};
    const std::string text = g("美丽的花， 中国 很美丽。\r\n第二段：中国的春天！好, a b.");
    const Case cases[] = {
        {"both off", settings(false, false), {}},
        {"synonyms", settings(true, false), {}},
        {"synonyms, a protected word", settings(true, false), {"中国"}},
        {"shuffle only", settings(false, true), {}},
        {"both, keyword", settings(true, true, true, false, "关键", 3), {}},
        {"both, spaces kept, breaks stripped", settings(true, true, false, true), {}},
        {"both, a protected word holding a delimiter", settings(true, true), {"花， 中"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StringList protect;
        for (const std::string& w : c.protect)
            protect.push_back(g(w));
        const auto thesaurus = engine::Thesaurus::make(originals, replacements, protect);
        const engine::Pipeline pipeline(c.settings, thesaurus);
        engine::RewriteState state(7);
        const engine::RewriteResult got =
            pipeline.rewrite(text, state, {.marks = true, .originality = true});

        // The same steps by hand.
        std::string expected = text;
        ReplaceTrace trace;
        if (c.settings.synonyms) {
            SynonymReplacer replacer;
            replacer.build(originals, replacements);
            ProtectedWordFinder guard;
            guard.build(protect);
            expected = replacer.apply(expected, guard.find(expected), trace, true);
        }
        if (c.settings.shuffle) {
            ProtectedWordFinder cuttable;
            cuttable.build(engine::wordsHoldingDelimiters(protect));
            engine::ShuffleOptions o;
            o.stripSpaces = c.settings.shuffleSettings.stripSpaces;
            o.stripBreaks = c.settings.shuffleSettings.stripBreaks;
            o.keyword = c.settings.shuffleSettings.keyword;
            o.frequency = c.settings.shuffleSettings.frequency;
            if (!cuttable.empty()) o.protect = &cuttable;
            std::mt19937_64 random(7);
            engine::MatchTexts matches;
            expected = engine::daluan(expected, o, random, matches);
        }
        EXPECT_EQ(got.text, expected);
        EXPECT_EQ(got.replacements, trace.replacements);
        // Marks only where the shuffle does not move the words.
        EXPECT_EQ(got.marks, c.settings.shuffle ? std::vector<TextSpan>{} : trace.markedSpans());
        EXPECT_EQ(got.originality, engine::originality(text, expected));
        // The two stages apart give the same as the whole.
        engine::RewriteState again(7);
        EXPECT_EQ(pipeline.finish(pipeline.replace(text), again), expected);
    }
}

TEST(Pipeline, ASeedRepeatsASeriesAndNoThesaurusReplacesNothing) {
    const engine::Pipeline shuffle(settings(false, true), nullptr);
    engine::RewriteState a(3), b(3);
    const std::string text = g("一，二，三，四，五，六。");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(shuffle.rewrite(text, a).text, shuffle.rewrite(text, b).text);
    const engine::Pipeline synonyms(settings(true, false), nullptr);
    EXPECT_EQ(synonyms.replace(g("美丽")), g("美丽"));
}

} // namespace
