#include "forwarded.h"

#include <arpa/inet.h>

namespace wycserver {

namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The address in its usual text form, or nothing when the text is not one.
std::optional<std::string> ipAddress(const std::string& text) {
    const std::string t = trimmed(text);
    unsigned char raw[16];
    char out[INET6_ADDRSTRLEN];
    if (inet_pton(AF_INET, t.c_str(), raw) == 1 && inet_ntop(AF_INET, raw, out, sizeof out))
        return std::string(out);
    if (inet_pton(AF_INET6, t.c_str(), raw) == 1 && inet_ntop(AF_INET6, raw, out, sizeof out))
        return std::string(out);
    return std::nullopt;
}

} // namespace

std::string clientAddress(const std::string& peer, const std::string& trustedProxy,
                          const std::optional<std::string>& realIp,
                          const std::optional<std::string>& forwardedFor) {
    if (trustedProxy.empty() || peer != trustedProxy) return peer;
    if (realIp) {
        if (auto a = ipAddress(*realIp)) return *a;
    }
    if (forwardedFor) {
        const auto comma = forwardedFor->rfind(',');
        const std::string last =
            comma == std::string::npos ? *forwardedFor : forwardedFor->substr(comma + 1);
        if (auto a = ipAddress(last)) return *a;
    }
    return peer;
}

} // namespace wycserver
