// Text utilities: cutting, replacing at GBK boundaries, form-encoding, reading files.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/textutil.h"
#include "support/fixtures.h"

namespace {

TEST(SplitString, KeepsEveryEntryIncludingEmptyOnes) {
    EXPECT_EQ(SplitString("", "[@]"), StringList{});
    EXPECT_EQ(SplitString("[@]", "[@]"), (StringList{"", ""}));
    EXPECT_EQ(SplitString("abc", "|"), StringList{"abc"});
    EXPECT_EQ(SplitString("|a||b|", "|"), (StringList{"", "a", "", "b", ""}));
    EXPECT_EQ(SplitString("x[@br@]y[@m@]z", "[@br@]"), (StringList{"x", "y[@m@]z"}));
    // The separator is found by plain byte search, even on a trail byte.
    EXPECT_EQ(SplitString("\x81[@]x", "[@]"), (StringList{"\x81", "x"}));
    EXPECT_EQ(SplitString("abc", ""), StringList{"abc"});
}

TEST(ReplaceAll, LeftToRightWithoutOverlapOrRescan) {
    EXPECT_EQ(ReplaceAll("aaaa", "aa", "b"), "bb");
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(ReplaceAll("aa", "a", "ab"), "abab");
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(ReplaceAll("", "a", "x"), "");
    EXPECT_EQ(ReplaceAll("aXbX", "X", ""), "ab");
    EXPECT_EQ(ReplaceAll("Aa", "a", "b"), "Ab");
    EXPECT_EQ(ReplaceAll("ab", "abc", "x"), "ab");
}

TEST(ReplaceAll, MatchesOnlyAtCharacterBoundaries) {
    // ！ (A3 A1) followed by ， (A3 AC) holds A1 A3 across the two characters.
    const std::string text = g("！，。");
    EXPECT_EQ(ReplaceAll(text, g("。"), "."), g("！，") + ".");
    // ASCII letters and "[", "@", "]" can be trail bytes.
    EXPECT_EQ(ReplaceAll("\x81"
                         "a"
                         "a",
                         "a", "b"),
              "\x81"
              "ab");
    EXPECT_EQ(ReplaceAll("\x81@]@", "@", "x"), "\x81@]x");
    // A lead byte makes the next byte its trail whatever that byte is.
    EXPECT_EQ(ReplaceAll("\x81\r\r", "\r", ""), "\x81\r");
    // 0x80 and 0xFF are single-byte characters; 0x81 and 0xFE lead a pair.
    for (const char* single : {"\x80", "\xFF"})
        EXPECT_EQ(ReplaceAll(std::string(single) + "aa", "a", "b"), std::string(single) + "bb");
    EXPECT_EQ(ReplaceAll("\xFE"
                         "aa",
                         "a", "b"),
              "\xFE"
              "ab");
    // A lone lead byte at the end is a character of its own.
    EXPECT_EQ(ReplaceAll("a\x81", "\x81", "x"), "ax");
    // A pattern ending on a lead byte swallows the next byte's role as a trail.
    EXPECT_EQ(ReplaceAll("\xB0\xA1\xB0\xA1", "\xB0", "x"), "x\xA1x\xA1");
    EXPECT_EQ(ReplaceAll("\xB0\xA1\xA1", "\xA1", "x"), "\xB0\xA1x");
}

TEST(UrlEncode, EscapesEverythingButUnreservedBytes) {
    EXPECT_EQ(UrlEncode("a b", true), "a+b");
    EXPECT_EQ(UrlEncode("a b", false), "a%20b");
    EXPECT_EQ(UrlEncode("50%", true), "50%25");
    EXPECT_EQ(UrlEncode("Az09-._~*/:", true), "Az09-._%7E%2A%2F%3A");
    EXPECT_EQ(UrlEncode("\xC4\xE3", true), "%C4%E3");
    EXPECT_EQ(UrlEncode(std::string("\0\n", 2), true), "%00%0A");
    EXPECT_EQ(UrlEncode("", true), "");
}

TEST(ReadWholeFile, ReturnsTheBytesUnchanged) {
    TempDir dir;
    const std::string bytes("a\0b\r\n\xFF\x81", 7);
    writeFileBytes(dir.path() / "f.txt", bytes);
    EXPECT_EQ(ReadWholeFile((dir.path() / "f.txt").string()), bytes);
    writeFileBytes(dir.path() / "empty.txt", "");
    EXPECT_EQ(ReadWholeFile((dir.path() / "empty.txt").string()), "");
    std::string big(300000, 'x');
    big[123456] = '\0';
    writeFileBytes(dir.path() / "big.txt", big);
    EXPECT_EQ(ReadWholeFile((dir.path() / "big.txt").string()), big);
}

TEST(ReadWholeFile, FailureNamesTheFullPathAndTheReason) {
    TempDir dir;
    ScopedCwd cwd(dir.path());
    try {
        ReadWholeFile("missing.txt");
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        const std::string full = (std::filesystem::current_path() / "missing.txt").string();
        EXPECT_NE(std::string(e.what()).find(full), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("No such file"), std::string::npos) << e.what();
    }
    // A directory opens but cannot be read.
    std::filesystem::create_directory(dir.path() / "sub");
    EXPECT_THROW(ReadWholeFile("sub"), std::runtime_error);
}

} // namespace
