#pragma once
// Password storage: PBKDF2-HMAC-SHA256 with a random salt per hash, written as
// "pbkdf2-sha256$<iterations>$<salt hex>$<hash hex>". Recovery codes are stored
// the same way.
#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace wycserver {

inline constexpr int kPbkdf2Iterations = 30000;

std::string hashPassword(std::string_view password, int iterations = kPbkdf2Iterations);
bool verifyPassword(std::string_view password, std::string_view stored);

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
    bool check(std::int64_t accountId, std::string_view password, std::string_view stored);

  private:
    using Digest = std::array<unsigned char, 32>;
    Digest tag(std::string_view password, std::string_view stored) const;

    static constexpr std::size_t kMaxEntries = 4096;
    std::array<unsigned char, 32> m_key{};
    std::mutex m_mutex;
    std::unordered_map<std::int64_t, Digest> m_entries;
};

} // namespace wycserver
