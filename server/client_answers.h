#pragma once
// Answers to the requests the desktop program sends: login, the shared
// thesaurus pages, the points request of a download and the share request.
// Each takes what arrived and returns the plain (UTF-8) answer text; refusals
// are messages without "|".
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wycserver {

class AbuseLimits;
class Storage;
class VerifiedPasswords;

class ClientAnswers {
  public:
    static constexpr std::int64_t kPageSize = 20;
    static constexpr std::int64_t kShareReward = 10;
    static constexpr std::size_t kMaxWordUnits = 50;

    ClientAnswers(Storage& storage, VerifiedPasswords& verified, AbuseLimits& limits)
        : m_storage(storage), m_verified(verified), m_limits(limits) {}

    // rawQuery: the query bytes as sent (account and password unencoded GBK).
    // May hash a password: callers bound how many run at once.
    std::string login(std::string_view rawQuery, const std::string& clientAddress);
    // page: the "page" parameter, absent for the newest page. Returns cipher text.
    std::string page(const std::optional<std::string>& page);
    // q: EncryptText(user id "[@]" ow "[@]" nw "[@]addword").
    std::string points(std::string_view q);
    // q: EncryptText(user id) "|" EncryptText(ow) "|" EncryptText(nw).
    std::string share(std::string_view q);

  private:
    Storage& m_storage;
    VerifiedPasswords& m_verified;
    AbuseLimits& m_limits;
};

// The plain text of a page answer before encipherment (for tests and tools).
std::string pagePlainText(Storage& storage, std::int64_t page);

} // namespace wycserver
