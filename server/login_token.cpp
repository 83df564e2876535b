#include "login_token.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <charconv>
#include <cstdio>
#include <stdexcept>

namespace wycserver {

namespace {

constexpr std::size_t kTimeDigits = 8;
constexpr std::size_t kMacDigits = 24;

std::string hex(const unsigned char* p, std::size_t n) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        out += digits[p[i] >> 4];
        out += digits[p[i] & 15];
    }
    return out;
}

std::string mac(std::string_view key, std::int64_t userId, std::string_view issuedDigits) {
    const std::string message = std::to_string(userId) + ":" + std::string(issuedDigits);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
         reinterpret_cast<const unsigned char*>(message.data()), message.size(), digest, &length);
    return hex(digest, kMacDigits / 2);
}

} // namespace

std::string newTokenKey() {
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof bytes) != 1) throw std::runtime_error("no random bytes");
    return hex(bytes, sizeof bytes);
}

std::string makeLoginToken(std::string_view key, std::int64_t userId, std::int64_t issued) {
    char time[kTimeDigits + 1];
    std::snprintf(time, sizeof time, "%08llx",
                  static_cast<unsigned long long>(issued) & 0xffffffffull);
    return std::string(time) + mac(key, userId, time);
}

bool loginTokenValid(std::string_view token, std::string_view key, std::int64_t userId,
                     std::int64_t now, std::int64_t lifetime) {
    if (key.empty() || token.size() != kTimeDigits + kMacDigits) return false;
    const std::string_view time = token.substr(0, kTimeDigits);
    unsigned long long issued = 0;
    auto [end, ec] = std::from_chars(time.data(), time.data() + time.size(), issued, 16);
    if (ec != std::errc() || end != time.data() + time.size()) return false;
    const auto at = static_cast<std::int64_t>(issued);
    if (at > now || now - at > lifetime) return false;
    const std::string expected = mac(key, userId, time);
    return CRYPTO_memcmp(expected.data(), token.data() + kTimeDigits, kMacDigits) == 0;
}

} // namespace wycserver
