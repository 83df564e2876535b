#pragma once
// Password storage. New hashes are Argon2id (libsodium's string form,
// "$argon2id$v=19$m=...,t=...,p=1$salt$hash"); hashes written by earlier
// versions, "pbkdf2-sha256$<iterations>$<salt hex>$<hash hex>", still verify
// and are replaced at the next successful login. Recovery codes are stored the
// same way.
#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace wycserver {

// Argon2id cost: 2 passes over 19 MiB, the current minimum of common guidance.
// Each hash in progress holds that much memory, so callers bound how many run
// at once.
inline constexpr unsigned long long kArgon2Passes = 2;
inline constexpr std::size_t kArgon2MemoryBytes = 19u << 20;

std::string hashPassword(std::string_view password);
bool verifyPassword(std::string_view password, std::string_view stored);
// True when `stored` is of an older form or cost and should be hashed again.
bool needsRehash(std::string_view stored);

// A hash in the form of earlier versions, for tests of the upgrade.
std::string legacyPbkdf2Hash(std::string_view password, int iterations);

// A new random recovery code, e.g. "7KQ2-M9XD-4HTW-C3PF" (80 bits).
std::string newRecoveryCode();
// Upper-cases and drops blanks and dashes, so a code typed loosely still matches.
std::string normaliseRecoveryCode(std::string_view code);

// Remembers, in memory only, passwords that verified against a stored hash, so a
// client that logs in again and again pays the slow key derivation once. An entry
// is a keyed SHA-256 (HMAC with a random per-process key) of the password and only
// counts while the account's stored hash is unchanged.
class VerifiedPasswords {
  public:
    VerifiedPasswords();
    // Verifies (from memory when it can) and remembers a match.
    bool check(std::int64_t accountId, std::string_view password, std::string_view stored);
    // Remembers a password known to match `stored` (after a rehash).
    void remember(std::int64_t accountId, std::string_view password, std::string_view stored);

  private:
    using Digest = std::array<unsigned char, 32>;
    Digest tag(std::string_view password, std::string_view stored) const;

    static constexpr std::size_t kMaxEntries = 4096;
    std::array<unsigned char, 32> m_key{};
    std::mutex m_mutex;
    std::unordered_map<std::int64_t, Digest> m_entries;
};

} // namespace wycserver
