#pragma once
// The throttles kept in the store, so that every server process sharing it
// counts the same failures, checks, sign-ups and posts: a block earned on one
// instance holds on all of them. Every key of an account starts with
// accountKeyPrefix(id), so that an administrator can lift them all at once.
#include <cstdint>
#include <functional>

#include "abuse_limits.h"

namespace wycserver {

class Storage;

// The prefix of every throttle key about the account named `account`.
std::string accountKeyPrefix(std::string_view account);

class StoredAbuseLimits : public AbuseLimits {
  public:
    // Seconds since the epoch: the processes share a wall clock, not a steady one.
    using Clock = std::function<std::int64_t()>;
    StoredAbuseLimits(Storage& storage, AbuseLimitSettings settings, Clock now = {});

    bool loginBlocked(std::string_view account, std::string_view address) override;
    void loginFailed(std::string_view account, std::string_view address) override;
    void loginSucceeded(std::string_view account, std::string_view address) override;
    GuessCheck takeGuess(std::string_view account, std::string_view address) override;
    void guessSucceeded(std::string_view account, std::string_view address) override;
    bool takeSignUp(std::string_view address) override;
    bool takePost(std::string_view address, std::int64_t weight) override;

  private:
    std::int64_t forgetBefore(std::int64_t now) const;
    bool take(const std::string& key, std::int64_t window, std::int64_t limit, std::int64_t weight,
              std::int64_t now);
    void give(const std::string& key, std::int64_t weight, std::int64_t now);

    Storage& m_storage;
    AbuseLimitSettings m_settings;
    Clock m_now;
};

} // namespace wycserver
