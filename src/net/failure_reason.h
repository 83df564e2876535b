#pragma once
// Why a transfer failed, in a few Chinese words a user can act on (GBK):
// libcurl's own texts are English and technical, and stay in Transfer::error
// for diagnostics.
#include <string>

namespace net {

enum class Failure {
    None,
    Curl,      // libcurl ended the exchange with an error code
    Empty,     // the exchange completed without a body
    TooLarge,  // the answer went over the size limit
    Cancelled, // the transfer was cancelled
    NoAddress, // the address names no server
    NotStarted // no transfer could be made
};

std::string failureReason(Failure kind, int curlCode = 0);

// "what：reason", or `what` alone when there is no reason (GBK).
std::string withReason(const std::string& what, const std::string& reason);

} // namespace net
