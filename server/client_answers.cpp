#include "client_answers.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <ctime>
#include <vector>

#include "abuse_limits.h"
#include "protocol/codepage.h"
#include "protocol/UnitAES.h"
#include "protocol/cipher_gbk.h"
#include "passwords.h"
#include "protocol.h"
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

bool isBlank(std::string_view word) {
    for (unsigned char c : word)
        if (c != ' ' && c != '\t') return false;
    return true;
}

// Words may not hold control characters or the "[@" that starts every
// separator of the exchange, and must survive the trip through GBK.
bool hasForbiddenCharacters(const std::string& word) {
    for (unsigned char c : word)
        if (c < 0x20 || c == 0x7f) return true;
    if (word.find("[@") != std::string::npos) return true;
    return !cp::fitsGbk(word);
}

std::string quoted(std::string_view word) {
    return "“" + answerField(word) + "”";
}

std::size_t characters(std::string_view utf8) {
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
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

} // namespace

ClientAnswers::ClientAnswers(Storage& storage, VerifiedPasswords& verified, AbuseLimits& limits)
    : m_storage(storage), m_verified(verified), m_limits(limits), m_now([] {
          return std::chrono::duration_cast<std::chrono::seconds>(
                     std::chrono::system_clock::now().time_since_epoch())
              .count();
      }) {}

bool ClientAnswers::loggedIn(std::int64_t userId, const std::string& client) {
    return m_storage.loggedInFrom(userId, client, m_now() - kLoginLifetime);
}

std::string ClientAnswers::login(std::string_view rawQuery, const std::string& client) {
    const auto parsed = parseLoginQuery(rawQuery);
    if (!parsed) return "登录失败：请求格式不正确";
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
    if (!query) return "登录失败：校验码不正确";
    // Guessing is slowed per account and client address; the refusal comes
    // before any hashing, so a blocked guesser costs next to nothing.
    if (m_limits.loginBlocked(query->account, client))
        return "登录失败：密码错误次数过多，请10分钟后再试";
    const auto accounts = utf8Readings(query->account);
    const auto passwords = utf8Readings(query->password);
    for (std::size_t i = 0; i < accounts.size(); ++i) {
        const auto account = m_storage.findAccount(accounts[i]);
        if (!account) continue;
        const auto& password = i < passwords.size() ? passwords[i] : passwords.front();
        if (!m_verified.check(account->id, password, account->passwordHash)) continue;
        m_limits.loginSucceeded(query->account, client);
        const std::int64_t now = m_now();
        m_storage.recordLogin(account->id, client, now, now - kLoginLifetime);
        // A hash of an older form is replaced now that the password is known.
        if (needsRehash(account->passwordHash)) {
            const std::string upgraded = hashPassword(password);
            if (m_storage.replacePasswordHash(account->id, account->passwordHash, upgraded))
                m_verified.remember(account->id, password, upgraded);
        }
        return "ok|" + std::to_string(account->id) + "|" + std::to_string(account->points);
    }
    m_limits.loginFailed(query->account, client);
    return "登录失败：账号或密码错误";
}

std::string pagePlainText(Storage& storage, std::int64_t page) {
    const std::int64_t total = storage.pairCount();
    const std::int64_t pageCount = std::max<std::int64_t>(
        1, (total + ClientAnswers::kPageSize - 1) / ClientAnswers::kPageSize);
    std::string plain;
    if (page >= 1 && page <= pageCount) {
        for (const auto& p :
             storage.pairs((page - 1) * ClientAnswers::kPageSize, ClientAnswers::kPageSize)) {
            plain += std::to_string(p.netId) + "[@m@]" + p.ow + "[@m@]" + p.nw + "[@m@]" +
                     std::to_string(p.sharer) + "[@br@]";
        }
    }
    return plain + std::to_string(page) + "[@br@]" + std::to_string(pageCount);
}

std::string ClientAnswers::page(const std::optional<std::string>& pageParam) {
    std::int64_t page = 1;
    if (pageParam) {
        // The program sends a decimal number; anything else asks for the newest page.
        if (auto v = parseInt(*pageParam))
            page = std::clamp<std::int64_t>(*v, -1'000'000'000, 1'000'000'000);
    }
    TAes aes;
    return aes.EncryptText(cp::utf8ToUtf16(pagePlainText(m_storage, page)), cipher::keyText(),
                           cipher::kKeyBits);
}

std::string ClientAnswers::points(std::string_view q, const std::string& client) {
    const auto plain = decipher(q);
    if (!plain) return "【提示信息】下载请求无法识别";
    // user id [@] ow [@] nw [@] addword; a word may itself hold "[@]", so the
    // user id ends at the first separator and the constant follows the last one.
    constexpr std::string_view kSep = "[@]", kTail = "[@]addword";
    const auto first = plain->find(kSep);
    if (first == std::string::npos || plain->size() < kTail.size() ||
        plain->compare(plain->size() - kTail.size(), kTail.size(), kTail) != 0 ||
        first + kSep.size() > plain->size() - kTail.size())
        return "【提示信息】下载请求格式不正确";
    const auto userText = std::string_view(*plain).substr(0, first);
    const auto words = std::string_view(*plain).substr(
        first + kSep.size(), plain->size() - kTail.size() - first - kSep.size());
    const auto mid = words.find(kSep);
    const auto ow = words.substr(0, mid);
    const auto userId = parseInt(userText);
    if (!userId) return "【提示信息】用户不存在，请先登录";
    if (!loggedIn(*userId, client)) {
        if (!m_storage.findAccount(*userId)) return "【提示信息】用户不存在，请先登录";
        return "【提示信息】请先登录再下载（登录超过24小时或换了网络，需要重新登录）。";
    }
    std::int64_t balance = 0;
    const std::string nw(mid == std::string_view::npos ? std::string_view()
                                                       : words.substr(mid + kSep.size()));
    switch (m_storage.chargeDownload(*userId, std::string(ow), nw, kDownloadPrice, balance)) {
    case DownloadResult::UnknownUser:
        return "【提示信息】用户不存在，请先登录";
    case DownloadResult::NoPoints:
        return "【提示信息】积分不足，无法下载" + quoted(ow) + "。共享1个词被收录可得10积分。";
    case DownloadResult::AlreadyPaid:
        // A repeated request (or one a proxy retried) costs nothing again.
        return "ok|" + std::to_string(balance) + "|【提示信息】" + quoted(ow) +
               "已经下载过，不再扣分，剩余" + std::to_string(balance) + "积分。";
    case DownloadResult::Charged:
        break;
    }
    return "ok|" + std::to_string(balance) + "|【提示信息】" + quoted(ow) + "下载成功，扣除" +
           std::to_string(kDownloadPrice) + "积分，剩余" + std::to_string(balance) + "积分。";
}

std::string ClientAnswers::share(std::string_view q, const std::string& client) {
    const auto fields = split(q, "|");
    if (fields.size() != 3) return "共享失败：请求格式不正确";
    const auto userText = decipher(fields[0]);
    const auto ow = decipher(fields[1]);
    const auto nw = decipher(fields[2]);
    if (!userText || !ow || !nw) return "共享失败：请求无法识别";
    const auto userId = parseInt(*userText);
    if (!userId || !m_storage.findAccount(*userId)) return "共享失败：用户不存在，请先登录";
    if (!loggedIn(*userId, client))
        return "共享失败：请先登录再共享（登录超过24小时或换了网络，需要重新登录）";
    if (isBlank(*ow) || isBlank(*nw)) return "共享失败：原始词和新词都不能为空";
    if (characters(*ow) > kMaxWordChars || characters(*nw) > kMaxWordChars)
        return "共享失败：每个词最多" + std::to_string(kMaxWordChars) + "个字";
    if (hasForbiddenCharacters(*ow) || hasForbiddenCharacters(*nw))
        return "共享失败：词中含有不允许的字符";
    if (*ow == *nw) return "共享失败：原始词和新词相同";
    std::int64_t balance = 0;
    switch (m_storage.sharePair(*userId, *ow, *nw, kShareReward, chinaDay(m_now()), kSharesPerDay,
                                balance)) {
    case ShareResult::UnknownUser:
        return "共享失败：用户不存在，请先登录";
    case ShareResult::DailyLimit:
        return "共享失败：每个账号每天最多共享" + std::to_string(kSharesPerDay) +
               "个词，请明天再来";
    case ShareResult::Duplicate:
        return "共享失败：" + quoted(*ow) + "→" + quoted(*nw) + "已经在网络词库中";
    case ShareResult::Accepted:
        break;
    }
    return "共享成功：" + quoted(*ow) + "→" + quoted(*nw) + "已被收录，奖励" +
           std::to_string(kShareReward) + "积分，您当前拥有积分(" + std::to_string(balance) +
           ")分。";
}

} // namespace wycserver
