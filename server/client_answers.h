#pragma once
// Answers to the requests the desktop program sends: login, the shared
// thesaurus pages, the points request of a download and the share request.
// Each takes what arrived and returns the plain (UTF-8) answer text; refusals
// are messages without "|".
//
// Points and share requests name a user id, which anyone can put in a
// request, and the cipher key is in every copy of the program. So they count
// only with a login token of that account (the fourth field of the login
// answer, which the program sends back as "&t=" + token; see login_token.h)
// that is less than a day old, and only from a client address the account
// logged in from within that day. A new password ends every token.
//
// An account pays for a pair of the shared thesaurus once: a repeated download
// (or one a proxy sent twice) costs nothing and still answers with the
// balance; a pair that is not shared costs nothing at all. A pair is rewarded
// once, to its first sharer; shares are capped per account and per network
// and day.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace wycserver {

class AbuseLimits;
class RecentFailures;
class Storage;
class VerifiedPasswords;

// Who asks: the client address (as the transport reports it) and the
// request's id (kept with every change of points).
struct Caller {
    std::string address;
    std::string request;
};

struct ClientAnswer {
    std::string text;
    std::int64_t account = 0; // the account the request named and proved, when known
};

class ClientAnswers {
  public:
    static constexpr std::int64_t kPageSize = 20;
    static constexpr std::int64_t kShareReward = 10;
    // Points a download takes; an account pays once for each pair.
    static constexpr std::int64_t kDownloadPrice = 1;
    static constexpr std::int64_t kSharesPerDay = 100;
    static constexpr std::int64_t kSharesPerNetworkPerDay = 300;

    // Seconds since the epoch.
    using Clock = std::function<std::int64_t()>;

    ClientAnswers(Storage& storage, VerifiedPasswords& verified, AbuseLimits& limits,
                  RecentFailures& recent);
    void setClock(Clock clock) { m_now = std::move(clock); } // for tests

    // rawQuery: the query bytes as sent (account and password unencoded GBK).
    // May hash a password: callers bound how many run at once.
    ClientAnswer login(std::string_view rawQuery, const Caller& caller);
    // True when the login's account name or network failed lately: its check
    // may wait behind the others.
    bool loginIsSuspect(std::string_view rawQuery, const Caller& caller) const;
    // page: the "page" parameter, absent for the newest page. Returns cipher text.
    ClientAnswer page(const std::optional<std::string>& page);
    // rawQuery: "q=" EncryptText(user id "[@]" ow "[@]" nw "[@]addword") "&t=" token.
    ClientAnswer points(std::string_view rawQuery, const Caller& caller);
    // rawQuery: "q=" EncryptText(user id) "|" EncryptText(ow) "|" EncryptText(nw) "&t=" token.
    ClientAnswer share(std::string_view rawQuery, const Caller& caller);

  private:
    bool sessionValid(std::int64_t userId, std::string_view rawQuery, const Caller& caller);

    Storage& m_storage;
    VerifiedPasswords& m_verified;
    AbuseLimits& m_limits;
    RecentFailures& m_recent;
    Clock m_now;
};

// The plain text of a page answer before encipherment (for tests and tools).
std::string pagePlainText(Storage& storage, std::int64_t page);

} // namespace wycserver
