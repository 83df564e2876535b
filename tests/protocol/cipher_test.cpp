// The text cipher: the block cipher against published vectors and OpenSSL, the
// framing byte for byte, round trips and the handling of bad cipher texts.
#include <gtest/gtest.h>

#include <openssl/evp.h>

#include <random>
#include <string>
#include <vector>

#include "protocol/UnitAES.h"
#include "protocol/cipher_gbk.h"
#include "support/fixtures.h"

namespace {

std::vector<std::uint8_t> fromHex(std::string_view hex) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(
            static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    return out;
}

TAesBlock blockFromHex(std::string_view hex) {
    TAesBlock b{};
    auto bytes = fromHex(hex);
    std::copy(bytes.begin(), bytes.end(), b.begin());
    return b;
}

std::string lowerHex(const TAesBlock& b) {
    std::string s = TAes::BlockToHex(b);
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A key text whose code units carry the given bytes in their low halves.
std::u16string keyTextFromBytes(const std::vector<std::uint8_t>& bytes) {
    std::u16string key;
    for (auto b : bytes)
        key += static_cast<char16_t>(b);
    return key;
}

// Reference: OpenSSL AES-128-ECB without padding.
std::vector<std::uint8_t> opensslEcb128(const std::uint8_t key[16],
                                        const std::vector<std::uint8_t>& plain) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    std::vector<std::uint8_t> out(plain.size() + 16);
    int len = 0, tail = 0;
    EVP_EncryptInit_ex(ctx, EVP_aes_128_ecb(), nullptr, key, nullptr);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    EVP_EncryptUpdate(ctx, out.data(), &len, plain.data(), static_cast<int>(plain.size()));
    EVP_EncryptFinal_ex(ctx, out.data() + len, &tail);
    EVP_CIPHER_CTX_free(ctx);
    out.resize(static_cast<std::size_t>(len + tail));
    return out;
}

std::string upperHex(const std::vector<std::uint8_t>& bytes) {
    static const char* d = "0123456789ABCDEF";
    std::string s;
    for (auto b : bytes) {
        s += d[b >> 4];
        s += d[b & 15];
    }
    return s;
}

// Low bytes of the fixed key text "星河里QRS的灯火", zero-filled to 16 bytes.
const std::uint8_t kProgramKey[16] = {0x1F, 0xB3, 0xCC, 0x51, 0x52, 0x53, 0x84, 0x6F,
                                      0x6B, 0,    0,    0,    0,    0,    0,    0};

std::string encrypt(std::u16string_view text) {
    TAes aes;
    return aes.EncryptText(text, cipher::keyText(), 128);
}

std::u16string decrypt(std::string_view hex) {
    TAes aes;
    return aes.DecryptText(hex, cipher::keyText(), 128);
}

// ---------------------------------------------------------------------------
// Block cipher: FIPS-197 appendix B and C.1-C.3 (the example vectors of the
// standard), decryption as the inverse of each.

struct FipsVector {
    const char* name;
    int bits;
    const char* key;
    const char* plain;
    const char* cipher;
};

class Fips197 : public ::testing::TestWithParam<FipsVector> {};

TEST_P(Fips197, EncryptsAndDecryptsTheExampleVector) {
    const auto& v = GetParam();
    TAes aes;
    aes.SetKeySize(v.bits);
    aes.SetKey(keyTextFromBytes(fromHex(v.key)));
    EXPECT_EQ(lowerHex(aes.EncryptBlock(blockFromHex(v.plain))), v.cipher);
    EXPECT_EQ(lowerHex(aes.DecryptBlock(blockFromHex(v.cipher))), v.plain);
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, Fips197,
    ::testing::Values(
        FipsVector{"AppendixB", 128, "2b7e151628aed2a6abf7158809cf4f3c",
                   "3243f6a8885a308d313198a2e0370734", "3925841d02dc09fbdc118597196a0b32"},
        FipsVector{"C1_AES128", 128, "000102030405060708090a0b0c0d0e0f",
                   "00112233445566778899aabbccddeeff", "69c4e0d86a7b0430d8cdb78070b4c55a"},
        FipsVector{"C2_AES192", 192, "000102030405060708090a0b0c0d0e0f1011121314151617",
                   "00112233445566778899aabbccddeeff", "dda97ca4864cdfe06eaf70a0ec0d7191"},
        FipsVector{"C3_AES256", 256,
                   "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
                   "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AesKeySchedule, MatchesFips197AppendixA1AndFieldSizes) {
    TAes aes;
    aes.SetKeySize(128);
    aes.SetKey(keyTextFromBytes(fromHex("2b7e151628aed2a6abf7158809cf4f3c")));
    EXPECT_EQ(aes.Nb, 4);
    EXPECT_EQ(aes.Nk, 4);
    EXPECT_EQ(aes.Nr, 10);
    // w[4] = a0fafe17, w[43] = b6630ca6 (FIPS-197 appendix A.1), byte 0 first.
    EXPECT_EQ(aes.w[16], 0xa0);
    EXPECT_EQ(aes.w[19], 0x17);
    EXPECT_EQ(aes.w[172], 0xb6);
    EXPECT_EQ(aes.w[175], 0xa6);
}

TEST(AesBlock, MatchesOpenSslAes128EcbOnRandomBlocks) {
    std::mt19937 rng(20240501);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 200; ++round) {
        std::uint8_t key[16];
        std::vector<std::uint8_t> keyBytes;
        for (auto& k : key) {
            k = static_cast<std::uint8_t>(byte(rng));
            keyBytes.push_back(k);
        }
        TAesBlock plain{};
        for (auto& b : plain)
            b = static_cast<std::uint8_t>(byte(rng));
        TAes aes;
        aes.SetKeySize(128);
        aes.SetKey(keyTextFromBytes(keyBytes));
        const TAesBlock mine = aes.EncryptBlock(plain);
        const auto ref = opensslEcb128(key, std::vector<std::uint8_t>(plain.begin(), plain.end()));
        ASSERT_EQ(std::vector<std::uint8_t>(mine.begin(), mine.end()), ref) << "round " << round;
        ASSERT_EQ(aes.DecryptBlock(mine), plain);
    }
}

// ---------------------------------------------------------------------------
// Key rules.

TEST(AesKey, OnlyLowBytesOfTheFirstSixteenUnitsCount) {
    const std::u16string base = u"0123456789abcdef";
    std::u16string highBytes = base;
    for (auto& u : highBytes)
        u = static_cast<char16_t>(u | 0x5a00);
    const std::u16string longer = base + u"tail that plays no part";
    const TAesBlock plain = blockFromHex("00112233445566778899aabbccddeeff");
    TAes a, b, c;
    a.SetKeySize(128);
    a.SetKey(base);
    b.SetKeySize(128);
    b.SetKey(highBytes);
    c.SetKeySize(128);
    c.SetKey(longer);
    EXPECT_EQ(a.Key, b.Key);
    EXPECT_EQ(a.Key, c.Key);
    EXPECT_EQ(a.EncryptBlock(plain), b.EncryptBlock(plain));
    EXPECT_EQ(a.EncryptBlock(plain), c.EncryptBlock(plain));
    // A short key text is zero-filled.
    TAes s;
    s.SetKeySize(128);
    s.SetKey(u"ab");
    EXPECT_EQ(s.Key[0], 'a');
    EXPECT_EQ(s.Key[1], 'b');
    for (std::size_t i = 2; i < s.Key.size(); ++i)
        EXPECT_EQ(s.Key[i], 0) << i;
}

TEST(AesKey, SizesOtherThan192And256SelectAes128) {
    for (int bits : {0, 1, 64, 128, 191, 255, 512, -128}) {
        TAes aes;
        aes.SetKeySize(256); // start from another size
        aes.SetKeySize(bits);
        EXPECT_EQ(aes.Nk, 4) << bits;
        EXPECT_EQ(aes.Nr, 10) << bits;
        EXPECT_EQ(aes.Nb, 4) << bits;
    }
    TAes aes;
    aes.SetKeySize(192);
    EXPECT_EQ(aes.Nk, 6);
    EXPECT_EQ(aes.Nr, 12);
    aes.SetKeySize(256);
    EXPECT_EQ(aes.Nk, 8);
    EXPECT_EQ(aes.Nr, 14);
    // Text enciphered "with key size 0" is the same as with 128.
    EXPECT_EQ(aes.EncryptText(u"abc", u"key", 0), aes.EncryptText(u"abc", u"key", 128));
}

// ---------------------------------------------------------------------------
// Framing.

TEST(AesFraming, StepsFollowTheDigitRules) {
    EXPECT_EQ(TAes::TextToHex(u"a"), "6100");
    EXPECT_EQ(TAes::TextToHex(u"中"), "2D4E");
    EXPECT_EQ(TAes::TextToHex(u""), "");
    // Lower case is read; an unpaired final digit is ignored; the rest is zero.
    EXPECT_EQ(TAes::BlockToHex(TAes::HexToBlock("0aFf1")), "0AFF" + std::string(28, '0'));
    EXPECT_EQ(TAes::BlockToHex(TAes::HexToBlock("")), std::string(32, '0'));
    // An unpaired final character is not read, so it need not be a digit.
    EXPECT_NO_THROW(TAes::HexToBlock("12Z"));
    EXPECT_THROW(TAes::HexToBlock("1Z"), CipherConversionError);
    TAesBlock b{};
    b[0] = 0x61;
    b[2] = 0x2D;
    b[3] = 0x4E;
    EXPECT_EQ(TAes::BlockToText(b), std::u16string(u"a中") + std::u16string(6, u'\0'));
}

TEST(AesFraming, AbIsLengthThenLittleEndianUnitsThenZeros) {
    const std::vector<std::uint8_t> framed = {0x00, 0x02, 0x61, 0x00, 0x62, 0x00, 0, 0,
                                              0,    0,    0,    0,    0,    0,    0, 0};
    const std::string hex = encrypt(u"ab");
    EXPECT_EQ(hex.size(), 32u);
    EXPECT_EQ(hex, upperHex(opensslEcb128(kProgramKey, framed)));
}

TEST(AesFraming, BlockCountFollowsTheLengthPrefixAndUnits) {
    EXPECT_EQ(encrypt(u"").size(), 32u);
    EXPECT_EQ(encrypt(std::u16string(7, u'x')).size(), 32u);
    EXPECT_EQ(encrypt(std::u16string(8, u'x')).size(), 64u);
    EXPECT_EQ(encrypt(std::u16string(15, u'x')).size(), 64u);
    EXPECT_EQ(encrypt(std::u16string(16, u'x')).size(), 96u);
}

TEST(AesFraming, LongTextMatchesOpenSslOverTheFramedBytes) {
    // 300 code units: the prefix 012C, then each unit little-endian, zero-padded.
    std::u16string text;
    for (int i = 0; i < 300; ++i)
        text += static_cast<char16_t>(0x4E00 + i * 37);
    std::vector<std::uint8_t> framed = {0x01, 0x2C};
    for (char16_t u : text) {
        framed.push_back(static_cast<std::uint8_t>(u & 0xff));
        framed.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    while (framed.size() % 16)
        framed.push_back(0);
    const std::string hex = encrypt(text);
    EXPECT_EQ(hex, upperHex(opensslEcb128(kProgramKey, framed)));
    EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Round trips and bad input.

TEST(AesText, RoundTripsEveryKindOfText) {
    const std::u16string texts[] = {
        u"",
        u"ab",
        std::u16string(1, u'\0'),
        std::u16string(u"a\0b\0", 4),
        u"中文同义词[@]替换",
        u"\U0001F600 and \U00020000", // surrogate pairs
        std::u16string(1, u'\xD800'), // lone surrogate unit
        std::u16string(7, u'\xFFFF'),
        std::u16string(8, u'\0'),
        std::u16string(65535, u'\x4E2D'), // the longest text that can be framed
    };
    for (const auto& t : texts) {
        const std::string hex = encrypt(t);
        EXPECT_EQ(decrypt(hex), t) << "length " << t.size();
    }
    // A surrogate pair counts as two units.
    const std::string hex = encrypt(u"\U0001F600");
    EXPECT_EQ(hex.size(), 32u);
    TAes aes;
    aes.SetKeySize(128);
    aes.SetKey(cipher::keyText());
    const TAesBlock first = aes.DecryptBlock(TAes::HexToBlock(hex));
    EXPECT_EQ(first[1], 2);
}

TEST(AesText, TooLongTextIsRejected) {
    TAes aes;
    EXPECT_THROW(aes.EncryptText(std::u16string(65536, u'a'), cipher::keyText(), 128),
                 std::length_error);
}

TEST(AesText, LowerCaseDigitsDecipher) {
    std::string hex = encrypt(u"小写也行 lower case");
    for (auto& c : hex)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(decrypt(hex), u"小写也行 lower case");
    // The UTF-16 overload reads the same digits.
    TAes aes;
    std::u16string wide(hex.begin(), hex.end());
    EXPECT_EQ(aes.DecryptText(wide, cipher::keyText(), 128), u"小写也行 lower case");
}

TEST(AesText, BadDigitsAreAConversionErrorAnywhere) {
    const std::string good = encrypt(u"twenty characters!!!"); // 3 blocks
    ASSERT_EQ(good.size(), 96u);
    for (std::size_t pos : {0u, 31u, 32u, 95u}) {
        for (char bad : {'G', 'z', ' ', '\0', '%', '\xB0'}) {
            std::string hex = good;
            hex[pos] = bad;
            EXPECT_THROW(decrypt(hex), CipherConversionError) << pos << " " << int(bad);
        }
    }
    TAes aes;
    EXPECT_THROW(aes.DecryptText(u"00112233445566778899AABBCCDDEEF中", cipher::keyText(), 128),
                 CipherConversionError);
}

TEST(AesText, MalformedLengthsDoNotFail) {
    // Not produced by EncryptText: meaningless text, but no error and no overrun.
    EXPECT_NO_THROW(decrypt(""));
    EXPECT_NO_THROW(decrypt("0"));
    EXPECT_NO_THROW(decrypt(encrypt(u"abc") + "12"));
    EXPECT_LE(decrypt(std::string(32, 'F')).size(), 7u);
    // A wrong key gives some text, not an error.
    TAes aes;
    EXPECT_NO_THROW(aes.DecryptText(encrypt(u"secret"), u"other key", 128));
}

TEST(CipherGbk, RoundTripsGbkTextWithTheProgramKey) {
    const std::string word = g("同义词[@]伪原创|&");
    const std::string hex = cipher::encryptGbk(word);
    EXPECT_EQ(hex, encrypt(u"同义词[@]伪原创|&"));
    EXPECT_EQ(cipher::decryptToGbk(hex), word);
    TAes shared;
    EXPECT_EQ(cipher::decryptToGbk(shared, cipher::encryptGbk(shared, word)), word);
    EXPECT_THROW(cipher::decryptToGbk("XYZ"), CipherConversionError);
}

} // namespace
