#include "stored_abuse_limits.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "network.h"
#include "storage.h"

namespace wycserver {

namespace {

constexpr std::int64_t kHour = 60 * 60;
constexpr std::int64_t kNoLimit = std::numeric_limits<std::int64_t>::max() / 2;

// Keys are short UTF-8 texts: accounts go by their id, addresses and networks
// as the transport wrote them.
std::string failureKey(std::string_view account, std::string_view address) {
    return accountKeyPrefix(account) + "failure " + std::string(address);
}

std::string blockKey(std::string_view account, std::string_view address) {
    return accountKeyPrefix(account) + "block " + std::string(address);
}

std::string guessKey(std::string_view account) {
    return accountKeyPrefix(account) + "checks";
}

std::string networkGuessKey(std::string_view address) {
    return "network-checks " + networkOf(std::string(address));
}

} // namespace

std::string accountKeyPrefix(std::string_view account) {
    return "account " + std::string(account) + " ";
}

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
                           m_settings.guessWindow.count(), m_settings.postWindow.count(),
                           std::int64_t{kHour}});
}

bool StoredAbuseLimits::take(const std::string& key, std::int64_t window, std::int64_t limit,
                             std::int64_t weight, std::int64_t now) {
    return m_storage.addEventBelow(key, now, now - window + 1, limit, forgetBefore(now), weight);
}

// Takes back what `take` counted: an event of negative weight.
void StoredAbuseLimits::give(const std::string& key, std::int64_t weight, std::int64_t now) {
    m_storage.addEventBelow(key, now, now, kNoLimit, forgetBefore(now), -weight);
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
    m_storage.addEventBelow(key, now, now, kNoLimit, forgetBefore(now), 1);
    const std::int64_t since = now - m_settings.failureWindow.count() + 1;
    if (m_storage.countEvents(key, since) >= m_settings.failuresBeforeBlock) {
        m_storage.addEventBelow(blockKey(account, address), now, now, kNoLimit, forgetBefore(now),
                                1);
        m_storage.clearEvents(key);
    }
}

void StoredAbuseLimits::loginSucceeded(std::string_view account, std::string_view address) {
    m_storage.clearEvents(failureKey(account, address));
}

GuessCheck StoredAbuseLimits::takeGuess(std::string_view account, std::string_view address) {
    const std::int64_t now = m_now();
    const std::int64_t window = m_settings.guessWindow.count();
    if (!account.empty() && !take(guessKey(account), window, m_settings.guessesPerAccount, 1, now))
        return GuessCheck::AccountLimit;
    if (!take(networkGuessKey(address), window, m_settings.guessesPerNetwork, 1, now)) {
        if (!account.empty()) give(guessKey(account), 1, now);
        return GuessCheck::NetworkLimit;
    }
    return GuessCheck::Allowed;
}

void StoredAbuseLimits::guessSucceeded(std::string_view account, std::string_view address) {
    const std::int64_t now = m_now();
    if (!account.empty()) give(guessKey(account), 1, now);
    give(networkGuessKey(address), 1, now);
}

bool StoredAbuseLimits::takeSignUp(std::string_view address) {
    const std::int64_t now = m_now();
    const std::string own = "sign-up " + std::string(address);
    if (!take(own, kHour, m_settings.signUpsPerHour, 1, now)) return false;
    if (take("network-sign-up " + networkOf(std::string(address)), kHour,
             m_settings.networkSignUps(), 1, now))
        return true;
    give(own, 1, now);
    return false;
}

bool StoredAbuseLimits::takePost(std::string_view address, std::int64_t weight) {
    const std::int64_t now = m_now();
    const std::int64_t window = m_settings.postWindow.count();
    const std::string own = "posts " + std::string(address);
    if (!take(own, window, m_settings.postUnitsPerAddress, weight, now)) return false;
    if (take("network-posts " + networkOf(std::string(address)), window,
             m_settings.postUnitsPerNetwork, weight, now))
        return true;
    give(own, weight, now);
    return false;
}

} // namespace wycserver
