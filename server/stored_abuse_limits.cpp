#include "stored_abuse_limits.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "storage.h"

namespace wycserver {

namespace {

// Keys hold the address and a digest of the account name: names arrive as any
// bytes and of any length, and a key must be a short UTF-8 text.
std::string failureKey(std::string_view account, std::string_view address) {
    return "login-failure " + std::string(address) + " " + pairKey(std::string(account), "");
}

std::string blockKey(std::string_view account, std::string_view address) {
    return "login-block " + std::string(address) + " " + pairKey(std::string(account), "");
}

std::string signUpKey(std::string_view address) {
    return "sign-up " + std::string(address);
}

constexpr std::int64_t kHour = 60 * 60;
constexpr std::int64_t kNoLimit = std::numeric_limits<std::int64_t>::max();

} // namespace

StoredAbuseLimits::StoredAbuseLimits(Storage& storage, AbuseLimitSettings settings, Clock now)
    : m_storage(storage), m_settings(settings), m_now(std::move(now)) {
    if (!m_now)
        m_now = [] {
            return std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                .count();
        };
}

std::int64_t StoredAbuseLimits::forgetBefore(std::int64_t now) const {
    return now - std::max({m_settings.failureWindow.count(), m_settings.blockFor.count(),
                           std::int64_t{kHour}});
}

// A block is an event at the moment it began; it holds for blockFor.
bool StoredAbuseLimits::loginBlocked(std::string_view account, std::string_view address) {
    const std::int64_t now = m_now();
    return m_storage.countEvents(blockKey(account, address),
                                 now - m_settings.blockFor.count() + 1) > 0;
}

void StoredAbuseLimits::loginFailed(std::string_view account, std::string_view address) {
    const std::int64_t now = m_now();
    const std::string key = failureKey(account, address);
    m_storage.addEventBelow(key, now, now, kNoLimit, forgetBefore(now));
    const std::int64_t since = now - m_settings.failureWindow.count() + 1;
    if (m_storage.countEvents(key, since) >= m_settings.failuresBeforeBlock) {
        m_storage.addEventBelow(blockKey(account, address), now, now, kNoLimit, forgetBefore(now));
        m_storage.clearEvents(key);
    }
}

void StoredAbuseLimits::loginSucceeded(std::string_view account, std::string_view address) {
    m_storage.clearEvents(failureKey(account, address));
}

bool StoredAbuseLimits::takeSignUp(std::string_view address) {
    const std::int64_t now = m_now();
    return m_storage.addEventBelow(signUpKey(address), now, now - kHour + 1,
                                   m_settings.signUpsPerHour, forgetBefore(now));
}

} // namespace wycserver
