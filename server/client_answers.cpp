#include "client_answers.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <ctime>
#include <vector>

#include "abuse_limits.h"
#include "login_token.h"
#include "network.h"
#include "passwords.h"
#include "protocol.h"
#include "protocol/UnitAES.h"
#include "protocol/cipher_gbk.h"
#include "protocol/codepage.h"
#include "recent_failures.h"
#include "share_rules.h"
#include "storage.h"

namespace wycserver {

namespace {

std::optional<std::int64_t> parseInt(std::string_view text) {
    std::int64_t v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return v;
}

// Deciphers with the program's key into UTF-8; empty when the text is not
// cipher text.
std::optional<std::string> decipher(std::string_view hex) {
    if (hex.empty()) return std::nullopt;
    try {
        TAes aes;
        return cp::utf16ToUtf8(aes.DecryptText(hex, cipher::keyText(), cipher::kKeyBits));
    } catch (const CipherConversionError&) {
        return std::nullopt;
    }
}

std::vector<std::string_view> split(std::string_view text, std::string_view sep) {
    std::vector<std::string_view> out;
    std::size_t at = 0;
    for (;;) {
        const auto next = text.find(sep, at);
        if (next == std::string_view::npos) {
            out.push_back(text.substr(at));
            return out;
        }
        out.push_back(text.substr(at, next - at));
        at = next + sep.size();
    }
}

std::string quoted(std::string_view word) {
    return "“" + answerField(word) + "”";
}

// The calendar day of the users, China Standard Time (UTC+8), as "YYYY-MM-DD".
std::string chinaDay(std::int64_t now) {
    const std::time_t t = static_cast<std::time_t>(now + 8 * 60 * 60);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &tm);
    return text;
}

// A wrong password for an account that does not exist costs the same hashing
// as one for an account that does, so the time of the answer tells nothing.
bool checkAgainstNothing(std::string_view password) {
    static const std::string unused = hashPassword("no account has this password");
    verifyPassword(password, unused);
    return false;
}

std::string field(std::string_view rawQuery, std::string_view name) {
    return formValue(parseForm(rawQuery), name).value_or("");
}

} // namespace

ClientAnswers::ClientAnswers(Storage& storage, VerifiedPasswords& verified, AbuseLimits& limits,
                             RecentFailures& recent)
    : m_storage(storage), m_verified(verified), m_limits(limits), m_recent(recent), m_now([] {
          return std::chrono::duration_cast<std::chrono::seconds>(
                     std::chrono::system_clock::now().time_since_epoch())
              .count();
      }) {}

bool ClientAnswers::loginIsSuspect(std::string_view rawQuery, const Caller& caller) const {
    const auto parsed = parseLoginQuery(rawQuery);
    return m_recent.suspect(parsed ? std::string_view(parsed->account) : rawQuery, caller.address);
}

ClientAnswer ClientAnswers::login(std::string_view rawQuery, const Caller& caller) {
    const auto parsed = parseLoginQuery(rawQuery);
    if (!parsed) return {"登录失败：请求格式不正确"};
    // The program sends account and password unencoded, except for the bytes a
    // request line cannot hold; a client that percent-encodes everything is
    // understood too. The key digest, made over the plain text, tells which.
    std::optional<LoginQuery> query;
    if (loginKeyMatches(*parsed)) {
        query = parsed;
    } else if (rawQuery.find('%') != std::string_view::npos) {
        for (auto decode : {decodeRequestLineEscapes,
                            +[](std::string_view t) { return percentDecode(t, false); }}) {
            LoginQuery decoded = *parsed;
            decoded.account = decode(parsed->account);
            decoded.password = decode(parsed->password);
            if (loginKeyMatches(decoded)) {
                query = decoded;
                break;
            }
        }
    }
    if (!query) return {"登录失败：校验码不正确"};
    const std::string& client = caller.address;
    // The name may be GBK (the program) or UTF-8 (other clients): each reading
    // that names an account is a candidate, and the throttles count the
    // account, whichever spelling named it.
    const auto names = utf8Readings(query->account);
    const auto passwords = utf8Readings(query->password);
    std::vector<std::pair<Account, std::string>> candidates;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (auto account = m_storage.findAccount(names[i]))
            candidates.emplace_back(*account, i < passwords.size() ? passwords[i] : passwords[0]);
    const std::string key = candidates.empty() ? "" : std::to_string(candidates[0].first.id);
    const std::int64_t now = m_now();
    // Guessing is refused before any hashing, so a blocked guesser costs next
    // to nothing. An address the account logged in from before is not held to
    // the account's and the network's limits.
    if (!key.empty() && m_limits.loginBlocked(key, client))
        return {"登录失败：密码错误次数过多，请10分钟后再试"};
    const bool known = !key.empty() && m_storage.loggedInFrom(candidates[0].first.id, client,
                                                              now - Storage::kKnownAddressSeconds);
    if (!known) {
        switch (m_limits.takeGuess(key, client)) {
        case GuessCheck::AccountLimit:
            return {"登录失败：这个账号最近密码错误次数过多，请10分钟后再试"
                    "（在以前登录过的网络登录不受影响）"};
        case GuessCheck::NetworkLimit:
            return {"登录失败：您所在的网络最近密码错误次数过多，请10分钟后再试"};
        case GuessCheck::Allowed:
            break;
        }
    }
    const Account* account = nullptr;
    std::string password;
    for (const auto& [candidate, typed] : candidates)
        if (m_verified.check(candidate.id, typed, candidate.passwordHash)) {
            account = &candidate;
            password = typed;
            break;
        }
    if (candidates.empty()) checkAgainstNothing(passwords[0]);
    if (!account) {
        if (!key.empty()) m_limits.loginFailed(key, client);
        m_recent.failed(query->account, client);
        return {"登录失败：账号或密码错误"};
    }
    if (!known) m_limits.guessSucceeded(key, client);
    m_limits.loginSucceeded(key, client);
    if (account->disabled) return {"登录失败：这个账号已停用，请联系客服", account->id};
    m_storage.recordLogin(account->id, client, now);
    // A hash of an older form is replaced now that the password is known.
    if (needsRehash(account->passwordHash)) {
        const std::string upgraded = hashPassword(password);
        if (m_storage.replacePasswordHash(account->id, account->passwordHash, upgraded))
            m_verified.remember(account->id, password, upgraded);
    }
    const std::string tokenKey =
        account->tokenKey.empty() ? m_storage.tokenKey(account->id) : account->tokenKey;
    return {"ok|" + std::to_string(account->id) + "|" + std::to_string(account->points) + "|" +
                makeLoginToken(tokenKey, account->id, now),
            account->id};
}

std::string pagePlainText(Storage& storage, std::int64_t page) {
    const PairPage found = storage.pairPage(page, ClientAnswers::kPageSize);
    const std::int64_t pageCount = std::max<std::int64_t>(
        1, (found.total + ClientAnswers::kPageSize - 1) / ClientAnswers::kPageSize);
    std::string plain;
    for (const auto& p : found.rows)
        plain += std::to_string(p.netId) + "[@m@]" + p.ow + "[@m@]" + p.nw + "[@m@]" +
                 std::to_string(p.sharer) + "[@br@]";
    return plain + std::to_string(page) + "[@br@]" + std::to_string(pageCount);
}

ClientAnswer ClientAnswers::page(const std::optional<std::string>& pageParam) {
    std::int64_t page = 1;
    if (pageParam) {
        // The program sends a decimal number; anything else asks for the newest page.
        if (auto v = parseInt(*pageParam))
            page = std::clamp<std::int64_t>(*v, -1'000'000'000, 1'000'000'000);
    }
    TAes aes;
    return {aes.EncryptText(cp::utf8ToUtf16(pagePlainText(m_storage, page)), cipher::keyText(),
                            cipher::kKeyBits)};
}

bool ClientAnswers::sessionValid(std::int64_t userId, std::string_view rawQuery,
                                 const Caller& caller) {
    const std::int64_t now = m_now();
    const std::string key =
        m_storage.sessionKey(userId, caller.address, now - Storage::kLoginSeconds);
    return loginTokenValid(field(rawQuery, "t"), key, userId, now, Storage::kLoginSeconds);
}

ClientAnswer ClientAnswers::points(std::string_view rawQuery, const Caller& caller) {
    const auto plain = decipher(field(rawQuery, "q"));
    if (!plain) return {"【提示信息】下载请求无法识别"};
    // user id [@] ow [@] nw [@] addword; a word may itself hold "[@]", so the
    // user id ends at the first separator and the constant follows the last one.
    constexpr std::string_view kSep = "[@]", kTail = "[@]addword";
    const auto first = plain->find(kSep);
    if (first == std::string::npos || plain->size() < kTail.size() ||
        plain->compare(plain->size() - kTail.size(), kTail.size(), kTail) != 0 ||
        first + kSep.size() > plain->size() - kTail.size())
        return {"【提示信息】下载请求格式不正确"};
    const auto userText = std::string_view(*plain).substr(0, first);
    const auto words = std::string_view(*plain).substr(
        first + kSep.size(), plain->size() - kTail.size() - first - kSep.size());
    const auto mid = words.find(kSep);
    const auto ow = words.substr(0, mid);
    const auto userId = parseInt(userText);
    if (!userId) return {"【提示信息】用户不存在，请先登录"};
    if (!sessionValid(*userId, rawQuery, caller)) {
        if (!m_storage.findAccount(*userId)) return {"【提示信息】用户不存在，请先登录"};
        return {"【提示信息】请先登录再下载（登录超过24小时或换了网络，需要重新登录）。"};
    }
    std::int64_t balance = 0;
    const std::string nw(mid == std::string_view::npos ? std::string_view()
                                                       : words.substr(mid + kSep.size()));
    const std::string ok = "ok|";
    switch (m_storage.chargeDownload(*userId, std::string(ow), nw, kDownloadPrice, caller.request,
                                     balance)) {
    case DownloadResult::UnknownUser:
        return {"【提示信息】用户不存在，请先登录"};
    case DownloadResult::NoPoints:
        return {"【提示信息】积分不足，无法下载" + quoted(ow) + "。共享1个词被收录可得10积分。",
                *userId};
    case DownloadResult::NotShared:
        return {"【提示信息】" + quoted(ow) + "不在网络词库中，不扣分。", *userId};
    case DownloadResult::AlreadyPaid:
        // A repeated request (or one a proxy retried) costs nothing again.
        return {ok + std::to_string(balance) + "|【提示信息】" + quoted(ow) +
                    "已经下载过，不再扣分，剩余" + std::to_string(balance) + "积分。",
                *userId};
    case DownloadResult::Charged:
        break;
    }
    return {ok + std::to_string(balance) + "|【提示信息】" + quoted(ow) + "下载成功，扣除" +
                std::to_string(kDownloadPrice) + "积分，剩余" + std::to_string(balance) + "积分。",
            *userId};
}

ClientAnswer ClientAnswers::share(std::string_view rawQuery, const Caller& caller) {
    const std::string q = field(rawQuery, "q");
    const auto fields = split(q, "|");
    if (fields.size() != 3) return {"共享失败：请求格式不正确"};
    const auto userText = decipher(fields[0]);
    const auto ow = decipher(fields[1]);
    const auto nw = decipher(fields[2]);
    if (!userText || !ow || !nw) return {"共享失败：请求无法识别"};
    const auto userId = parseInt(*userText);
    if (!userId || !m_storage.findAccount(*userId)) return {"共享失败：用户不存在，请先登录"};
    if (!sessionValid(*userId, rawQuery, caller))
        return {"共享失败：请先登录再共享（登录超过24小时或换了网络，需要重新登录）"};
    if (auto why = shareProblem(*ow, *nw)) return {"共享失败：" + *why, *userId};
    ShareRequest request;
    request.userId = *userId;
    request.network = networkOf(caller.address);
    request.ow = *ow;
    request.nw = *nw;
    request.reward = kShareReward;
    request.day = chinaDay(m_now());
    request.dailyLimit = kSharesPerDay;
    request.networkDailyLimit = kSharesPerNetworkPerDay;
    request.request = caller.request;
    std::int64_t balance = 0;
    switch (m_storage.sharePair(request, balance)) {
    case ShareResult::UnknownUser:
        return {"共享失败：用户不存在，请先登录"};
    case ShareResult::Banned:
        return {"共享失败：这个账号已被停止共享，请联系客服", *userId};
    case ShareResult::DailyLimit:
        return {"共享失败：每个账号每天最多共享" + std::to_string(kSharesPerDay) +
                    "个词，请明天再来",
                *userId};
    case ShareResult::NetworkLimit:
        return {"共享失败：您所在的网络今天共享的词已经太多，请明天再来", *userId};
    case ShareResult::Duplicate:
        return {"共享失败：" + quoted(*ow) + "→" + quoted(*nw) + "已经在网络词库中", *userId};
    case ShareResult::Accepted:
        break;
    }
    return {"共享成功：" + quoted(*ow) + "→" + quoted(*nw) + "已被收录，奖励" +
                std::to_string(kShareReward) + "积分，您当前拥有积分(" + std::to_string(balance) +
                ")分。",
            *userId};
}

} // namespace wycserver
