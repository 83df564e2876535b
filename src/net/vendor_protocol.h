#pragma once
// The requests the program sends the vendor server and the answers it reads,
// apart from any window: the addresses of login, page, points and share
// requests, and the fields of their answers. Texts are GBK.
#include <optional>
#include <string>

#include "engine/stringlist.h"

class TAes;

namespace vendor {

// Login: account and password go into the query as typed, without encoding,
// with a key made of both.
std::string loginAddress(const std::string& account, const std::string& password);

// An accepted login answer reads: any text | user id | points, and from
// servers that issue one, | login token. Anything else, an answer with too
// few fields or no id included, is a refusal.
struct LoginAnswer {
    std::string userId;
    std::string points;
    std::string token; // empty when the server sent none
};
std::optional<LoginAnswer> readLoginAnswer(const std::string& text);

// A page of the shared thesaurus; no number asks for the first.
std::string pageAddress(std::optional<long long> page = std::nullopt);

// Points for copying a pair: one joined text, enciphered as a whole. The
// login token, when there is one, follows as "&t=" + token.
std::string pointsAddress(TAes& aes, const std::string& userId, const std::string& ow,
                          const std::string& nw, const std::string& token = {});
// The answer "any text|balance|message", or a message by itself.
struct PointsAnswer {
    std::string balance;
    std::string message;
};
std::optional<PointsAnswer> readPointsAnswer(const std::string& text);

// Sharing a pair: each field is enciphered on its own; the cipher text is
// hexadecimal, so the query needs no escaping and the two "|" stay plain.
std::string shareAddress(TAes& aes, const std::string& userId, const std::string& ow,
                         const std::string& nw, const std::string& token = {});
// The balance an accepted share reports: its answer ends with
// "您当前拥有积分(" + points + ")分。". None for any other answer.
std::optional<std::string> readShareBalance(const std::string& text);

} // namespace vendor
