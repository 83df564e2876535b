#pragma once
// The client address of a request that may have come through a reverse proxy.
#include <optional>
#include <string>

namespace wycserver {

// peer: the address the connection came from. When it is the trusted proxy,
// the proxy's X-Real-IP header names the client, or else the last entry of
// X-Forwarded-For (the one the proxy added; earlier entries come from the
// client and prove nothing). Anything that is not an IP address is ignored,
// and so are the headers of every other peer.
std::string clientAddress(const std::string& peer, const std::string& trustedProxy,
                          const std::optional<std::string>& realIp,
                          const std::optional<std::string>& forwardedFor);

} // namespace wycserver
