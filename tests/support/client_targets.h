#pragma once
// The addresses the desktop program requests of the vendor server, built as it
// builds them, for tests and benchmarks that speak its protocol.
#include <string>

#include "protocol/cipher_gbk.h"
#include "protocol/codepage.h"
#include "server/protocol.h"

// Login with the account and password as sent (GBK bytes, not encoded).
inline std::string loginTarget(const std::string& account, const std::string& password) {
    return "/login_client.asp?qzvemail=" + account + "&qzvpassword=" + password +
           "&key=" + wycserver::loginKey(account, password);
}

// The login token of an accepted login answer (its fourth field), or "".
inline std::string loginTokenOf(const std::string& answer) {
    std::size_t at = 0;
    for (int field = 0; field < 3; ++field) {
        at = answer.find('|', at);
        if (at == std::string::npos) return {};
        ++at;
    }
    return answer.substr(at, answer.find('|', at) - at);
}

// What the program appends to a points or share request after a login.
inline std::string tokenParameter(const std::string& token) {
    return token.empty() ? std::string() : "&t=" + token;
}

// Points for downloading the pair (UTF-8 words) for the user id.
inline std::string pointsTarget(const std::string& id, const std::string& owUtf8,
                                const std::string& nwUtf8, const std::string& token = {}) {
    return "/keywords_point.asp?q=" +
           cipher::encryptGbk(cp::utf8ToGbk(id + "[@]" + owUtf8 + "[@]" + nwUtf8 + "[@]addword")) +
           tokenParameter(token);
}

// Sharing the pair (UTF-8 words) as the user id: three fields enciphered apart.
inline std::string shareTarget(const std::string& id, const std::string& owUtf8,
                               const std::string& nwUtf8, const std::string& token = {}) {
    return "/sendkeywords.asp?q=" + cipher::encryptGbk(id) + "|" +
           cipher::encryptGbk(cp::utf8ToGbk(owUtf8)) + "|" +
           cipher::encryptGbk(cp::utf8ToGbk(nwUtf8)) + tokenParameter(token);
}
