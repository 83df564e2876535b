#include "storage.h"

#include <openssl/evp.h>

#include <set>

#include "pg_storage.h"
#include "share_rules.h"
#include "sqlite_storage.h"

namespace wycserver {

namespace {

std::string hexOf(const unsigned char* p, unsigned int n) {
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < n; ++i) {
        out += hex[p[i] >> 4];
        out += hex[p[i] & 15];
    }
    return out;
}

} // namespace

const std::vector<std::pair<std::string, std::string>>& starterPairs() {
    static const std::vector<std::pair<std::string, std::string>> pairs = [] {
        static const std::pair<const char*, const char*> list[] = {
#include "starter_pairs.inc"
        };
        // Only pairs that a share could bring in, each once.
        std::vector<std::pair<std::string, std::string>> out;
        std::set<std::pair<std::string, std::string>> seen;
        for (const auto& [ow, nw] : list)
            if (!shareProblem(ow, nw) && seen.emplace(ow, nw).second) out.emplace_back(ow, nw);
        return out;
    }();
    return pairs;
}

std::string sha256Hex(std::string_view text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest, &length, EVP_sha256(), nullptr);
    return hexOf(digest, length);
}

std::string pairKey(const std::string& ow, const std::string& nw) {
    // The length of ow first, so that ("ab", "c") and ("a", "bc") differ.
    return sha256Hex(std::to_string(ow.size()) + ":" + ow + nw);
}

std::unique_ptr<Storage> openStorage(const StoreLocation& where) {
    if (!where.postgresUri.empty()) return std::make_unique<PgStorage>(where);
    return std::make_unique<SqliteStorage>(where);
}

} // namespace wycserver
