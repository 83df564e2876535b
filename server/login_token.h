#pragma once
// Login tokens. A token is 32 lower-case hexadecimal digits: 8 for the time it
// was issued (seconds since the epoch) and 24 of an HMAC-SHA256 of the account
// id and that time under the account's token key. The key is kept with the
// account in the store, so every instance can check every token without a
// write per login; a new key (a new password, a disabled account) ends all
// the account's tokens at once.
#include <cstdint>
#include <string>
#include <string_view>

namespace wycserver {

// A new random token key: 32 lower-case hexadecimal digits.
std::string newTokenKey();

std::string makeLoginToken(std::string_view key, std::int64_t userId, std::int64_t issued);

// True when `token` was made with `key` for the account at most `lifetime`
// seconds before `now` (and not after it).
bool loginTokenValid(std::string_view token, std::string_view key, std::int64_t userId,
                     std::int64_t now, std::int64_t lifetime);

} // namespace wycserver
