#pragma once
// Answers to the requests the desktop program sends: login, the shared
// thesaurus pages, the points request of a download and the share request.
// Each takes what arrived and returns the plain (UTF-8) answer text; refusals
// are messages without "|".
//
// Points and share requests name nothing but a user id, which anyone can put
// in a request. So they count only for an account that logged in from the
// same client address within the last day; the desktop program always logs in
// before it downloads or shares, so it never meets this refusal.
//
// An account pays for a pair once: a repeated download (or one a proxy sent
// twice) costs nothing and still answers with the balance. A pair is rewarded
// once, to its first sharer.
#include <cstdint>
#include <functional>
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
    // Points a download takes; an account pays once for each pair.
    static constexpr std::int64_t kDownloadPrice = 1;
    static constexpr std::size_t kMaxWordChars = 50;
    static constexpr std::int64_t kSharesPerDay = 100;
    static constexpr std::int64_t kLoginLifetime = 24 * 60 * 60; // seconds

    // Seconds since the epoch.
    using Clock = std::function<std::int64_t()>;

    ClientAnswers(Storage& storage, VerifiedPasswords& verified, AbuseLimits& limits);
    void setClock(Clock clock) { m_now = std::move(clock); } // for tests

    // client: the address the request came from, as the transport reports it.
    // rawQuery: the query bytes as sent (account and password unencoded GBK).
    // May hash a password: callers bound how many run at once.
    std::string login(std::string_view rawQuery, const std::string& client);
    // page: the "page" parameter, absent for the newest page. Returns cipher text.
    std::string page(const std::optional<std::string>& page);
    // q: EncryptText(user id "[@]" ow "[@]" nw "[@]addword").
    std::string points(std::string_view q, const std::string& client);
    // q: EncryptText(user id) "|" EncryptText(ow) "|" EncryptText(nw).
    std::string share(std::string_view q, const std::string& client);

  private:
    bool loggedIn(std::int64_t userId, const std::string& client);

    Storage& m_storage;
    VerifiedPasswords& m_verified;
    AbuseLimits& m_limits;
    Clock m_now;
};

// The plain text of a page answer before encipherment (for tests and tools).
std::string pagePlainText(Storage& storage, std::int64_t page);

} // namespace wycserver
