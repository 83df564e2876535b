#pragma once
// The login and sign-up throttles kept in the store, so that every server
// process sharing it counts the same failures and sign-ups: a block earned
// on one instance holds on all of them.
#include <cstdint>
#include <functional>

#include "abuse_limits.h"

namespace wycserver {

class Storage;

class StoredAbuseLimits : public AbuseLimits {
  public:
    // Seconds since the epoch: the processes share a wall clock, not a steady one.
    using Clock = std::function<std::int64_t()>;
    StoredAbuseLimits(Storage& storage, AbuseLimitSettings settings, Clock now = {});

    bool loginBlocked(std::string_view account, std::string_view address) override;
    void loginFailed(std::string_view account, std::string_view address) override;
    void loginSucceeded(std::string_view account, std::string_view address) override;
    bool takeSignUp(std::string_view address) override;

  private:
    std::int64_t forgetBefore(std::int64_t now) const;

    Storage& m_storage;
    AbuseLimitSettings m_settings;
    Clock m_now;
};

} // namespace wycserver
