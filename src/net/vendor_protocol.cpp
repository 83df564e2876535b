#include "net/vendor_protocol.h"

#include "net/answer_fields.h"
#include "net/vendor.h"
#include "protocol/MD5.h"
#include "protocol/cipher_gbk.h"
#include "protocol/codepage.h"

namespace vendor {

namespace {
// Fixed salt of the login key.
const char* const kLoginSalt = "pantile_morsund";
} // namespace

std::string loginAddress(const std::string& account, const std::string& password) {
    const std::string key = MD5Hex(account + MD5Hex(password) + kLoginSalt);
    return address(kLogin) + "?qzvemail=" + account + "&qzvpassword=" + password + "&key=" + key;
}

std::optional<LoginAnswer> readLoginAnswer(const std::string& text) {
    const StringList fields = answers::splitGbk(text, '|');
    if (fields.size() < 3 || fields[1].empty()) return std::nullopt;
    return LoginAnswer{fields[1], fields[2], fields.size() > 3 ? fields[3] : std::string()};
}

std::string pageAddress(std::optional<long long> page) {
    std::string a = address(kLoadTyc);
    if (page) a += "?page=" + std::to_string(*page);
    return a;
}

namespace {
// The login token as the last query field; nothing without one.
std::string tokenField(const std::string& token) {
    return token.empty() ? std::string() : "&t=" + token;
}
} // namespace

std::string pointsAddress(TAes& aes, const std::string& userId, const std::string& ow,
                          const std::string& nw, const std::string& token) {
    return address(kKeywordsPoint) +
           "?q=" + cipher::encryptGbk(aes, userId + "[@]" + ow + "[@]" + nw + "[@]addword") +
           tokenField(token);
}

std::optional<PointsAnswer> readPointsAnswer(const std::string& text) {
    const StringList fields = answers::splitGbk(text, '|');
    if (fields.size() != 3) return std::nullopt;
    return PointsAnswer{fields[1], fields[2]};
}

std::optional<std::string> readShareBalance(const std::string& text) {
    // Read from the end: the shared words come earlier in the answer and may
    // hold anything. ")" is no byte of a double-byte character, so the tail
    // cannot start inside one.
    static const std::string head = cp::G("您当前拥有积分("), tail = cp::G(")分。");
    if (text.size() < head.size() + tail.size() ||
        text.compare(text.size() - tail.size(), tail.size(), tail) != 0)
        return std::nullopt;
    const size_t end = text.size() - tail.size();
    size_t begin = end;
    while (begin > 0 && text[begin - 1] >= '0' && text[begin - 1] <= '9')
        --begin;
    if (begin == end || begin < head.size() ||
        text.compare(begin - head.size(), head.size(), head) != 0)
        return std::nullopt;
    return text.substr(begin, end - begin);
}

std::string shareAddress(TAes& aes, const std::string& userId, const std::string& ow,
                         const std::string& nw, const std::string& token) {
    return address(kSendKeywords) + "?q=" + cipher::encryptGbk(aes, userId) + "|" +
           cipher::encryptGbk(aes, ow) + "|" + cipher::encryptGbk(aes, nw) + tokenField(token);
}

} // namespace vendor
