// Synonym replacement: the sequential rules, and the fast replacer checked
// byte for byte against the one-pass-per-pair reference on random thesauri,
// also with protected stretches kept, replaced bytes marked and replacements
// counted.
#include <gtest/gtest.h>

#include <random>

#include "engine/synonyms.h"
#include "support/fixtures.h"

namespace {

std::string fast(const std::string& text, const StringList& o, const StringList& n) {
    SynonymReplacer r;
    r.build(o, n);
    return r.apply(text);
}

// Both implementations must give `expected`.
void expectBoth(const std::string& text, const StringList& o, const StringList& n,
                const std::string& expected) {
    EXPECT_EQ(replaceSynonymsReference(text, o, n), expected);
    EXPECT_EQ(fast(text, o, n), expected);
}

TEST(Synonyms, PairsApplyInOrderOnTheRewrittenText) {
    // Later pairs see earlier replacements.
    expectBoth(g("甲"), {g("甲"), g("乙")}, {g("乙"), g("丙")}, g("丙"));
    expectBoth(g("甲乙"), {g("甲"), g("乙")}, {g("乙"), g("甲")}, g("甲甲"));
    // Earlier pairs win overlaps.
    expectBoth(g("中国人"), {g("中国"), g("中国人")}, {g("中华"), g("华人")}, g("中华人"));
    // A new word holding its original word does not loop.
    expectBoth(g("好好"), {g("好")}, {g("很好")}, g("很好很好"));
    // Empty original matches nothing; empty new word deletes.
    expectBoth(g("美丽的花"), {"", g("的")}, {g("X"), ""}, g("美丽花"));
    // Duplicate originals: the first pair takes every occurrence, unless the
    // text holds the word again afterwards.
    expectBoth(g("花花"), {g("花"), g("花")}, {g("草"), g("树")}, g("草草"));
    expectBoth(g("花"), {g("花"), g("花")}, {g("红花"), g("树")}, g("红树"));
    // A deletion can join two halves into a word of a later pair.
    expectBoth(g("美X丽"), {"X", g("美丽")}, {"", g("漂亮")}, g("漂亮"));
}

TEST(Synonyms, OnlyWholeCharactersMatch) {
    // ！， holds the bytes of 。 across its two characters.
    expectBoth(g("！，。"), {g("。")}, {"."}, g("！，") + ".");
    // Mixed half- and full-width punctuation: exact bytes only.
    expectBoth(g("a,b，c"), {","}, {";"}, g("a;b，c"));
    expectBoth("\x81"
               "ab",
               {"a", "b"}, {"x", "y"},
               "\x81"
               "ay");
}

TEST(Synonyms, EmptyInputsAndUnequalLists) {
    expectBoth("", {"a"}, {"b"}, "");
    expectBoth("abc", {}, {}, "abc");
    // Only the pairs both lists hold take part.
    expectBoth("ab", {"a", "b"}, {"x"}, "xb");
}

TEST(Synonyms, BuiltFromTracksTheLists) {
    SynonymReplacer r;
    StringList o{"a"}, n{"b"};
    r.build(o, n);
    EXPECT_TRUE(r.builtFrom(o, n));
    n[0] = "c";
    EXPECT_FALSE(r.builtFrom(o, n));
    o.push_back("d");
    EXPECT_FALSE(r.builtFrom(o, {"b"}));
}

// Characters chosen to collide: ASCII that can be a trail byte, delimiters,
// and double-byte characters whose bytes form other characters across a
// boundary (A3 A1 + A3 AC holds A1 A3; 81 61 holds "a"), and four-byte
// characters whose halves form another one across a boundary (𠮷 😀 holds
// B2 35 94 39).
const std::vector<std::string> kAlphabet = [] {
    std::vector<std::string> a = {"a",        "b",        "@",           "]",        "[",
                                  ",",        " ",        "\r\n",        "\xA1\xA3", "\xA3\xA1",
                                  "\xA3\xAC", "\xA1\xA1", "\x81\x61",    "\x81\x40", "\xB0\xA1",
                                  "\xB0\xB0", "\xC4\xE3", "\x61\x81\x61"};
    for (const char* fourBytes : {"\x95\x34\xB2\x35", "\x94\x39\xFC\x36", "\xB2\x35\x94\x39"})
        a.push_back(fourBytes);
    return a;
}();

std::string randomText(std::mt19937_64& rng, size_t maxChars, size_t alphabet) {
    std::string s;
    const size_t len = rng() % (maxChars + 1);
    for (size_t i = 0; i < len; ++i)
        s += kAlphabet[rng() % alphabet];
    return s;
}

struct Thesaurus {
    StringList o, n;
};

Thesaurus randomThesaurus(std::mt19937_64& rng, size_t alphabet) {
    Thesaurus t;
    const size_t m = 1 + rng() % 40;
    for (size_t i = 0; i < m; ++i) {
        std::string ow, nw;
        switch (rng() % 6) {
        case 0: // chain from an earlier new word
            ow = t.n.empty() ? randomText(rng, 3, alphabet) : t.n[rng() % t.n.size()];
            nw = randomText(rng, 4, alphabet);
            break;
        case 1: // the new word holds the original
            ow = randomText(rng, 2, alphabet);
            nw = randomText(rng, 1, alphabet) + ow + randomText(rng, 1, alphabet);
            break;
        case 2: // a duplicate original
            ow = t.o.empty() ? randomText(rng, 2, alphabet) : t.o[rng() % t.o.size()];
            nw = randomText(rng, 3, alphabet);
            break;
        default:
            ow = randomText(rng, 3, alphabet);
            nw = randomText(rng, 4, alphabet);
        }
        t.o.push_back(ow);
        t.n.push_back(nw);
    }
    // Some new words become originals of later pairs (creating occurrences).
    for (size_t i = 0; i + 1 < m; ++i)
        if (rng() % 4 == 0) t.o[i + 1 + rng() % (m - 1 - i)] = t.n[i];
    return t;
}

// The definition with protected stretches, marks and the count: one pass per
// pair that skips every occurrence touching a kept byte; a replaced word's
// bytes are marked, and kept bytes stay kept wherever they move.
struct Traced {
    std::string text, marks;
    size_t replacements = 0;
};

Traced tracedReference(const std::string& text, const std::vector<TextSpan>& keep,
                       const StringList& o, const StringList& n) {
    Traced r{text, std::string(text.size(), 0), 0};
    std::string kept(text.size(), 0);
    for (const TextSpan& s : keep)
        kept.replace(s.begin, s.end - s.begin, s.end - s.begin, 1);
    for (size_t i = 0; i < o.size(); ++i) {
        if (o[i].empty() || r.text.find(o[i]) == std::string::npos) continue;
        // Character boundaries of the text as this pair finds it.
        std::vector<bool> boundary(r.text.size() + 1, false);
        const auto* t = reinterpret_cast<const unsigned char*>(r.text.data());
        for (size_t p = 0; p < r.text.size(); p += cp::charLength(t, p, r.text.size()))
            boundary[p] = true;
        Traced next;
        std::string nextKept;
        for (size_t p = 0; p < r.text.size();) {
            if (boundary[p] && r.text.compare(p, o[i].size(), o[i]) == 0 &&
                kept.compare(p, o[i].size(), std::string(o[i].size(), 0)) == 0) {
                next.text += n[i];
                next.marks.append(n[i].size(), 1);
                nextKept.append(n[i].size(), 0);
                ++r.replacements;
                p += o[i].size();
                continue;
            }
            next.text += r.text[p];
            next.marks += r.marks[p];
            nextKept += kept[p];
            ++p;
        }
        r.text.swap(next.text);
        r.marks.swap(next.marks);
        kept.swap(nextKept);
    }
    return r;
}

// The fast replacer, plain and (when `traced`) traced with stretches kept for
// a few words of the alphabet, against the definitions.
void expectAsReference(const SynonymReplacer& r, const Thesaurus& t, const std::string& text,
                       const ProtectedWordFinder& protect, bool traced = true) {
    ASSERT_EQ(r.apply(text), replaceSynonymsReference(text, t.o, t.n));
    if (!traced) return;
    const std::vector<TextSpan> keep = protect.find(text);
    const Traced expected = tracedReference(text, keep, t.o, t.n);
    ReplaceTrace trace;
    ASSERT_EQ(r.apply(text, keep, trace, true), expected.text);
    ASSERT_EQ(trace.marks, expected.marks);
    ASSERT_EQ(trace.replacements, expected.replacements);
}

TEST(SynonymReplacer, MatchesTheReferenceOnRandomThesauri) {
    std::mt19937_64 rng(20240531);
    for (int round = 0; round < 3000; ++round) {
        // Small alphabets give dense matches; the full one gives walls.
        const size_t alphabet = 3 + rng() % (kAlphabet.size() - 2);
        const Thesaurus t = randomThesaurus(rng, alphabet);
        SynonymReplacer r;
        r.build(t.o, t.n);
        ProtectedWordFinder protect;
        protect.build({randomText(rng, 2, alphabet), randomText(rng, 3, alphabet)});
        for (int k = 0; k < 6; ++k) {
            // Now and then a long text, rescanned around the replacements only.
            std::string text = randomText(rng, k == 5 ? 900 : 40, alphabet);
            if (rng() % 8 == 0) text += "\xB0"; // a lead byte at the very end
            SCOPED_TRACE("round " + std::to_string(round) + " text " + std::to_string(k));
            expectAsReference(r, t, text, protect, round % 2 == 0);
        }
    }
}

TEST(SynonymReplacer, LongTextsCutIntoBlocks) {
    // Few walls and dense matches: long segments are rewritten block by block
    // and blocks are joined where replacements come near their edges.
    std::mt19937_64 rng(31337);
    for (int round = 0; round < 150; ++round) {
        const size_t alphabet = 3 + rng() % 6;
        const Thesaurus t = randomThesaurus(rng, alphabet);
        SynonymReplacer r;
        r.build(t.o, t.n);
        ProtectedWordFinder protect;
        protect.build({randomText(rng, 3, alphabet) + kAlphabet[rng() % alphabet]});
        std::string text;
        const size_t len = 4000 + rng() % 9000;
        while (text.size() < len)
            text += kAlphabet[rng() % alphabet];
        SCOPED_TRACE("round " + std::to_string(round));
        expectAsReference(r, t, text, protect, round % 3 == 0);
    }
}

TEST(SynonymReplacer, WordsEndingInsideACharacterStayExact) {
    // Hand-made words can end on a lead byte; applying such a pair shifts the
    // character boundaries of everything after it.
    std::mt19937_64 rng(7);
    const StringList leads = {"\xA3", "\x81", "\xB0"};
    for (int round = 0; round < 1500; ++round) {
        Thesaurus t = randomThesaurus(rng, kAlphabet.size());
        for (size_t i = 0; i < t.o.size(); ++i) {
            if (rng() % 5 == 0) t.o[i] += leads[rng() % leads.size()];
            if (rng() % 5 == 0) t.n[i] += leads[rng() % leads.size()];
        }
        SynonymReplacer r;
        r.build(t.o, t.n);
        for (int k = 0; k < 4; ++k) {
            std::string text = randomText(rng, 50, kAlphabet.size());
            if (rng() % 2) text += leads[rng() % leads.size()] + randomText(rng, 5, 8);
            SCOPED_TRACE(round);
            expectAsReference(r, t, text, ProtectedWordFinder());
        }
    }
}

TEST(SynonymReplacer, LargeThesaurusOnChineseText) {
    // Two-character words over a small set of characters: many pairs occur,
    // chains and overlaps abound.
    std::mt19937_64 rng(99);
    std::vector<std::string> chars;
    for (int i = 0; i < 30; ++i)
        chars.push_back({'\xB0', static_cast<char>(0xA1 + i)});
    auto word = [&](size_t len) {
        std::string w;
        for (size_t i = 0; i < len; ++i)
            w += chars[rng() % chars.size()];
        return w;
    };
    StringList o, n;
    for (int i = 0; i < 3000; ++i) {
        o.push_back(word(2 + rng() % 2));
        n.push_back(word(1 + rng() % 3));
    }
    SynonymReplacer r;
    r.build(o, n);
    for (int k = 0; k < 5; ++k) {
        std::string text;
        for (int s = 0; s < 200; ++s)
            text += word(1 + rng() % 12) + g(k % 2 ? "，" : "");
        ASSERT_EQ(r.apply(text), replaceSynonymsReference(text, o, n)) << k;
    }
}

} // namespace
