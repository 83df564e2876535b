#include "passwords.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <sodium.h>

#include <charconv>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace wycserver {

namespace {

constexpr const char* kLegacyScheme = "pbkdf2-sha256";
constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kHashBytes = 32;

std::string toHex(const unsigned char* p, std::size_t n) {
    static const char* d = "0123456789abcdef";
    std::string s;
    s.reserve(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        s += d[p[i] >> 4];
        s += d[p[i] & 15];
    }
    return s;
}

bool fromHex(std::string_view hex, std::vector<unsigned char>& out) {
    if (hex.size() % 2) return false;
    out.clear();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        unsigned v = 0;
        auto [end, ec] = std::from_chars(hex.data() + i, hex.data() + i + 2, v, 16);
        if (ec != std::errc() || end != hex.data() + i + 2) return false;
        out.push_back(static_cast<unsigned char>(v));
    }
    return true;
}

void randomBytes(unsigned char* p, std::size_t n) {
    if (RAND_bytes(p, static_cast<int>(n)) != 1) throw std::runtime_error("no random bytes");
}

std::vector<unsigned char> derive(std::string_view password, const std::vector<unsigned char>& salt,
                                  int iterations) {
    std::vector<unsigned char> out(kHashBytes);
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt.data(),
                          static_cast<int>(salt.size()), iterations, EVP_sha256(),
                          static_cast<int>(out.size()), out.data()) != 1)
        throw std::runtime_error("key derivation failed");
    return out;
}

void initSodium() {
    static const bool ready = sodium_init() >= 0;
    if (!ready) throw std::runtime_error("libsodium cannot start");
}

// libsodium reads a stored hash as a C string of at most crypto_pwhash_STRBYTES.
bool asSodiumString(std::string_view stored, char (&out)[crypto_pwhash_STRBYTES]) {
    if (stored.size() >= sizeof out || stored.find('\0') != std::string_view::npos) return false;
    std::memcpy(out, stored.data(), stored.size());
    out[stored.size()] = '\0';
    return true;
}

bool verifyLegacy(std::string_view password, std::string_view stored) {
    // scheme $ iterations $ salt $ hash
    std::string_view parts[4];
    std::size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t end = i < 3 ? stored.find('$', at) : stored.size();
        if (end == std::string_view::npos) return false;
        parts[i] = stored.substr(at, end - at);
        at = end + 1;
    }
    if (parts[0] != kLegacyScheme) return false;
    int iterations = 0;
    auto [end, ec] =
        std::from_chars(parts[1].data(), parts[1].data() + parts[1].size(), iterations);
    if (ec != std::errc() || end != parts[1].data() + parts[1].size() || iterations < 1 ||
        iterations > 10'000'000)
        return false;
    std::vector<unsigned char> salt, expected;
    if (!fromHex(parts[2], salt) || !fromHex(parts[3], expected) || expected.size() != kHashBytes)
        return false;
    const auto actual = derive(password, salt, iterations);
    return CRYPTO_memcmp(actual.data(), expected.data(), kHashBytes) == 0;
}

} // namespace

std::string hashPassword(std::string_view password) {
    initSodium();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, password.data(), password.size(), kArgon2Passes,
                              kArgon2MemoryBytes, crypto_pwhash_ALG_ARGON2ID13) != 0)
        throw std::runtime_error("password hashing failed (out of memory)");
    return out;
}

bool verifyPassword(std::string_view password, std::string_view stored) {
    if (stored.substr(0, std::strlen(crypto_pwhash_argon2id_STRPREFIX)) ==
        crypto_pwhash_argon2id_STRPREFIX) {
        initSodium();
        char str[crypto_pwhash_STRBYTES];
        return asSodiumString(stored, str) &&
               crypto_pwhash_str_verify(str, password.data(), password.size()) == 0;
    }
    return verifyLegacy(password, stored);
}

bool needsRehash(std::string_view stored) {
    initSodium();
    char str[crypto_pwhash_STRBYTES];
    // Non-zero for another algorithm (the legacy form), other costs, or garbage.
    return !asSodiumString(stored, str) ||
           crypto_pwhash_str_needs_rehash(str, kArgon2Passes, kArgon2MemoryBytes) != 0;
}

std::string legacyPbkdf2Hash(std::string_view password, int iterations) {
    std::vector<unsigned char> salt(kSaltBytes);
    randomBytes(salt.data(), salt.size());
    const auto hash = derive(password, salt, iterations);
    return std::string(kLegacyScheme) + "$" + std::to_string(iterations) + "$" +
           toHex(salt.data(), salt.size()) + "$" + toHex(hash.data(), hash.size());
}

std::string newRecoveryCode() {
    // 32 characters without 0/O and 1/I, 5 bits each.
    static const char* alphabet = "23456789ABCDEFGHJKLMNPQRSTUVWXYZ";
    unsigned char bytes[16];
    randomBytes(bytes, sizeof bytes);
    std::string code;
    for (int i = 0; i < 16; ++i) {
        if (i && i % 4 == 0) code += '-';
        code += alphabet[bytes[i] & 31];
    }
    return code;
}

std::string normaliseRecoveryCode(std::string_view code) {
    std::string out;
    for (char c : code) {
        if (c == '-' || c == ' ' || c == '\t') continue;
        out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return out;
}

VerifiedPasswords::VerifiedPasswords() {
    randomBytes(m_key.data(), m_key.size());
}

VerifiedPasswords::Digest VerifiedPasswords::tag(std::string_view password,
                                                 std::string_view stored) const {
    std::string message(stored);
    message += '\0';
    message += password;
    Digest d{};
    unsigned int len = 0;
    HMAC(EVP_sha256(), m_key.data(), static_cast<int>(m_key.size()),
         reinterpret_cast<const unsigned char*>(message.data()), message.size(), d.data(), &len);
    return d;
}

bool VerifiedPasswords::check(std::int64_t accountId, std::string_view password,
                              std::string_view stored) {
    const Digest t = tag(password, stored);
    {
        std::lock_guard lock(m_mutex);
        auto it = m_entries.find(accountId);
        if (it != m_entries.end() && CRYPTO_memcmp(it->second.data(), t.data(), t.size()) == 0)
            return true;
    }
    if (!verifyPassword(password, stored)) return false;
    remember(accountId, password, stored);
    return true;
}

void VerifiedPasswords::remember(std::int64_t accountId, std::string_view password,
                                 std::string_view stored) {
    const Digest t = tag(password, stored);
    std::lock_guard lock(m_mutex);
    if (m_entries.size() >= kMaxEntries) m_entries.clear();
    m_entries[accountId] = t;
}

} // namespace wycserver
