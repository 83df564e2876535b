#pragma once
// TAes: the text cipher shared with the vendor server. AES (FIPS-197, the
// block step done by OpenSSL) block by block with no chaining, over text framed as hexadecimal digits: a 4-digit
// length prefix, then each UTF-16 code unit low byte first, cut into blocks of
// 32 digits. The cipher text is upper-case hexadecimal. The framing must match
// the server's byte for byte.
#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

struct evp_cipher_ctx_st;

using TAesBlock = std::array<std::uint8_t, 16>;

// A cipher text holds a character that is not a hexadecimal digit where a digit
// is read. DecryptText throws it before returning anything.
class CipherConversionError : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

class TAes {
  public:
    TAes();
    ~TAes();
    TAes(TAes&&) noexcept;
    TAes& operator=(TAes&&) noexcept;

    std::uint8_t Nb = 4;  // block length in 32-bit words
    std::uint8_t Nk = 4;  // key length in 32-bit words: 4, 6 or 8
    std::uint8_t Nr = 10; // rounds: 10, 12 or 14
    std::array<std::uint8_t, 32> Key{};
    std::array<std::uint8_t, 240> w{};                  // key schedule, word i at bytes 4i..4i+3

    // 192 and 256 select those key sizes; every other value selects 128 bits.
    void SetKeySize(int bits);
    // Key bytes are the low bytes of the first 4*Nk code units; the rest is zero.
    void SetKey(std::u16string_view keyText);
    void KeyExpansion();
    TAesBlock EncryptBlock(const TAesBlock& in);
    TAesBlock DecryptBlock(const TAesBlock& in);

    // Texts of 65536 code units or more cannot be framed and throw std::length_error.
    std::string EncryptText(std::u16string_view text, std::u16string_view keyText, int keySize);
    // Throws CipherConversionError on a non-hexadecimal digit in a position it reads.
    std::u16string DecryptText(std::string_view hex, std::u16string_view keyText, int keySize);
    std::u16string DecryptText(std::u16string_view hex, std::u16string_view keyText, int keySize);

    // Framing steps.
    static std::string TextToHex(std::u16string_view text);
    static TAesBlock HexToBlock(std::string_view digits);
    static std::string BlockToHex(const TAesBlock& block);
    static std::u16string BlockToText(const TAesBlock& block);

  private:
    struct CipherContextDeleter {
        void operator()(evp_cipher_ctx_st* ctx) const;
    };
    using CipherContext = std::unique_ptr<evp_cipher_ctx_st, CipherContextDeleter>;
    TAesBlock cryptBlock(const TAesBlock& in, bool encrypt);
    // OpenSSL's keyed contexts, made again when the key or its size changes.
    CipherContext m_encrypt, m_decrypt;
    std::array<std::array<std::uint8_t, 32>, 2> m_keyed{};
    std::array<std::uint8_t, 2> m_keyedNk{};
};
