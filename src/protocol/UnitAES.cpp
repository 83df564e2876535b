#include "protocol/UnitAES.h"

#include <algorithm>
#include <openssl/evp.h>

namespace {

// S-box (FIPS-197 figure 7), for the key schedule.
constexpr std::uint8_t kSbox[256] = {
    0x63, 0x7c, 0x77, 0x7b, 0xf2, 0x6b, 0x6f, 0xc5, 0x30, 0x01, 0x67, 0x2b, 0xfe, 0xd7, 0xab, 0x76,
    0xca, 0x82, 0xc9, 0x7d, 0xfa, 0x59, 0x47, 0xf0, 0xad, 0xd4, 0xa2, 0xaf, 0x9c, 0xa4, 0x72, 0xc0,
    0xb7, 0xfd, 0x93, 0x26, 0x36, 0x3f, 0xf7, 0xcc, 0x34, 0xa5, 0xe5, 0xf1, 0x71, 0xd8, 0x31, 0x15,
    0x04, 0xc7, 0x23, 0xc3, 0x18, 0x96, 0x05, 0x9a, 0x07, 0x12, 0x80, 0xe2, 0xeb, 0x27, 0xb2, 0x75,
    0x09, 0x83, 0x2c, 0x1a, 0x1b, 0x6e, 0x5a, 0xa0, 0x52, 0x3b, 0xd6, 0xb3, 0x29, 0xe3, 0x2f, 0x84,
    0x53, 0xd1, 0x00, 0xed, 0x20, 0xfc, 0xb1, 0x5b, 0x6a, 0xcb, 0xbe, 0x39, 0x4a, 0x4c, 0x58, 0xcf,
    0xd0, 0xef, 0xaa, 0xfb, 0x43, 0x4d, 0x33, 0x85, 0x45, 0xf9, 0x02, 0x7f, 0x50, 0x3c, 0x9f, 0xa8,
    0x51, 0xa3, 0x40, 0x8f, 0x92, 0x9d, 0x38, 0xf5, 0xbc, 0xb6, 0xda, 0x21, 0x10, 0xff, 0xf3, 0xd2,
    0xcd, 0x0c, 0x13, 0xec, 0x5f, 0x97, 0x44, 0x17, 0xc4, 0xa7, 0x7e, 0x3d, 0x64, 0x5d, 0x19, 0x73,
    0x60, 0x81, 0x4f, 0xdc, 0x22, 0x2a, 0x90, 0x88, 0x46, 0xee, 0xb8, 0x14, 0xde, 0x5e, 0x0b, 0xdb,
    0xe0, 0x32, 0x3a, 0x0a, 0x49, 0x06, 0x24, 0x5c, 0xc2, 0xd3, 0xac, 0x62, 0x91, 0x95, 0xe4, 0x79,
    0xe7, 0xc8, 0x37, 0x6d, 0x8d, 0xd5, 0x4e, 0xa9, 0x6c, 0x56, 0xf4, 0xea, 0x65, 0x7a, 0xae, 0x08,
    0xba, 0x78, 0x25, 0x2e, 0x1c, 0xa6, 0xb4, 0xc6, 0xe8, 0xdd, 0x74, 0x1f, 0x4b, 0xbd, 0x8b, 0x8a,
    0x70, 0x3e, 0xb5, 0x66, 0x48, 0x03, 0xf6, 0x0e, 0x61, 0x35, 0x57, 0xb9, 0x86, 0xc1, 0x1d, 0x9e,
    0xe1, 0xf8, 0x98, 0x11, 0x69, 0xd9, 0x8e, 0x94, 0x9b, 0x1e, 0x87, 0xe9, 0xce, 0x55, 0x28, 0xdf,
    0x8c, 0xa1, 0x89, 0x0d, 0xbf, 0xe6, 0x42, 0x68, 0x41, 0x99, 0x2d, 0x0f, 0xb0, 0x54, 0xbb, 0x16,
};


// Round constants as words [rc, 0, 0, 0]; entry 0 is never read.
constexpr std::uint8_t kRcon[11][4] = {
    {0x00, 0, 0, 0}, {0x01, 0, 0, 0}, {0x02, 0, 0, 0}, {0x04, 0, 0, 0},
    {0x08, 0, 0, 0}, {0x10, 0, 0, 0}, {0x20, 0, 0, 0}, {0x40, 0, 0, 0},
    {0x80, 0, 0, 0}, {0x1b, 0, 0, 0}, {0x36, 0, 0, 0},
};


constexpr char kUpperDigits[] = "0123456789ABCDEF";

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    throw CipherConversionError(std::string("'") + c + "' is not a valid hexadecimal digit");
}

void appendByteHex(std::string& out, std::uint8_t b) {
    out += kUpperDigits[b >> 4];
    out += kUpperDigits[b & 0x0f];
}

constexpr std::size_t kPieceDigits = 32;
constexpr std::size_t kMaxTextUnits = 0xffff;

} // namespace

void TAes::SetKeySize(int bits) {
    Nb = 4;
    if (bits == 192) {
        Nk = 6;
        Nr = 12;
    } else if (bits == 256) {
        Nk = 8;
        Nr = 14;
    } else {
        Nk = 4;
        Nr = 10;
    }
}

void TAes::SetKey(std::u16string_view keyText) {
    Key.fill(0);
    const std::size_t n = std::min<std::size_t>(4u * Nk, keyText.size());
    for (std::size_t i = 0; i < n; ++i)
        Key[i] = static_cast<std::uint8_t>(keyText[i] & 0xff);
    KeyExpansion();
}

void TAes::KeyExpansion() {
    const int words = Nb * (Nr + 1);
    std::copy_n(Key.begin(), 4 * Nk, w.begin());
    for (int i = Nk; i < words; ++i) {
        std::uint8_t temp[4];
        std::copy_n(w.begin() + 4 * (i - 1), 4, temp);
        if (i % Nk == 0) {
            // RotWord, SubWord, then xor with Rcon[i / Nk].
            const std::uint8_t first = temp[0];
            temp[0] = kSbox[temp[1]];
            temp[1] = kSbox[temp[2]];
            temp[2] = kSbox[temp[3]];
            temp[3] = kSbox[first];
            for (int k = 0; k < 4; ++k)
                temp[k] ^= kRcon[i / Nk][k];
        } else if (Nk > 6 && i % Nk == 4) {
            for (auto& t : temp)
                t = kSbox[t];
        }
        for (int k = 0; k < 4; ++k)
            w[4 * i + k] = static_cast<std::uint8_t>(w[4 * (i - Nk) + k] ^ temp[k]);
    }
}

namespace {

// The block step is AES itself in ECB over exactly one block, done by
// OpenSSL; the key schedule above is kept because the framing's callers may
// read it (w), but the rounds are the library's.
const EVP_CIPHER* cipherFor(std::uint8_t nk) {
    return nk == 8 ? EVP_aes_256_ecb() : nk == 6 ? EVP_aes_192_ecb() : EVP_aes_128_ecb();
}

} // namespace

void TAes::CipherContextDeleter::operator()(evp_cipher_ctx_st* ctx) const {
    EVP_CIPHER_CTX_free(ctx);
}

TAes::TAes() = default;
TAes::~TAes() = default;
TAes::TAes(TAes&&) noexcept = default;
TAes& TAes::operator=(TAes&&) noexcept = default;

TAesBlock TAes::cryptBlock(const TAesBlock& in, bool encrypt) {
    auto& ctx = encrypt ? m_encrypt : m_decrypt;
    const std::uint8_t* key = w.data(); // the first Nk words of the schedule are the key
    const bool fresh = !ctx || m_keyedNk[encrypt] != Nk ||
                       !std::equal(key, key + 4 * Nk, m_keyed[encrypt].begin());
    if (fresh) {
        if (!ctx) ctx.reset(EVP_CIPHER_CTX_new());
        if (!ctx || EVP_CipherInit_ex(ctx.get(), cipherFor(Nk), nullptr, key, nullptr,
                                      encrypt ? 1 : 0) != 1 ||
            EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1) {
            ctx.reset();
            throw std::runtime_error("AES is not available");
        }
        std::copy_n(key, 4 * Nk, m_keyed[encrypt].begin());
        m_keyedNk[encrypt] = Nk;
    }
    TAesBlock out{};
    int written = 0;
    if (EVP_CipherUpdate(ctx.get(), out.data(), &written, in.data(), static_cast<int>(in.size())) !=
            1 ||
        written != static_cast<int>(out.size()))
        throw std::runtime_error("AES block step failed");
    return out;
}

TAesBlock TAes::EncryptBlock(const TAesBlock& in) {
    return cryptBlock(in, true);
}

TAesBlock TAes::DecryptBlock(const TAesBlock& in) {
    return cryptBlock(in, false);
}

std::string TAes::TextToHex(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 4);
    for (char16_t u : text) {
        appendByteHex(out, static_cast<std::uint8_t>(u & 0xff));
        appendByteHex(out, static_cast<std::uint8_t>(u >> 8));
    }
    return out;
}

TAesBlock TAes::HexToBlock(std::string_view digits) {
    TAesBlock block{};
    for (std::size_t j = 0; j < block.size() && 2 * j + 1 < digits.size(); ++j)
        block[j] = static_cast<std::uint8_t>(digitValue(digits[2 * j]) * 16 +
                                             digitValue(digits[2 * j + 1]));
    return block;
}

std::string TAes::BlockToHex(const TAesBlock& block) {
    std::string out;
    out.reserve(2 * block.size());
    for (std::uint8_t b : block)
        appendByteHex(out, b);
    return out;
}

std::u16string TAes::BlockToText(const TAesBlock& block) {
    std::u16string out(block.size() / 2, u'\0');
    for (std::size_t k = 0; k < out.size(); ++k)
        out[k] = static_cast<char16_t>(block[2 * k] + 256 * block[2 * k + 1]);
    return out;
}

std::string TAes::EncryptText(std::u16string_view text, std::u16string_view keyText, int keySize) {
    if (text.size() > kMaxTextUnits)
        throw std::length_error("text too long to encipher (65535 code units at most)");
    SetKeySize(keySize);
    SetKey(keyText);
    std::string framed;
    framed.reserve(4 + 4 * text.size());
    appendByteHex(framed, static_cast<std::uint8_t>(text.size() >> 8));
    appendByteHex(framed, static_cast<std::uint8_t>(text.size() & 0xff));
    framed += TextToHex(text);
    std::string out;
    out.reserve((framed.size() + kPieceDigits - 1) / kPieceDigits * kPieceDigits);
    for (std::size_t at = 0; at < framed.size(); at += kPieceDigits)
        out +=
            BlockToHex(EncryptBlock(HexToBlock(std::string_view(framed).substr(at, kPieceDigits))));
    return out;
}

std::u16string TAes::DecryptText(std::string_view hex, std::u16string_view keyText, int keySize) {
    SetKeySize(keySize);
    SetKey(keyText);
    const TAesBlock first = DecryptBlock(HexToBlock(hex.substr(0, kPieceDigits)));
    const std::size_t n = 256u * first[0] + first[1];
    std::u16string out = BlockToText(first).substr(1);
    // Every piece is deciphered, also those beyond the stated length, so that a bad
    // digit anywhere is reported instead of being cut off silently.
    for (std::size_t at = kPieceDigits; at < hex.size(); at += kPieceDigits)
        out += BlockToText(DecryptBlock(HexToBlock(hex.substr(at, kPieceDigits))));
    if (out.size() > n) out.resize(n);
    return out;
}

std::u16string TAes::DecryptText(std::u16string_view hex, std::u16string_view keyText,
                                 int keySize) {
    // Hexadecimal digits are ASCII; any other unit cannot be a digit. Such a
    // unit becomes a byte that HexToBlock rejects if it reads that position.
    std::string narrow(hex.size(), '\0');
    for (std::size_t i = 0; i < hex.size(); ++i)
        narrow[i] = hex[i] < 0x80 ? static_cast<char>(hex[i]) : '\x7f';
    return DecryptText(narrow, keyText, keySize);
}
