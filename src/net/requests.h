#pragma once
// What every request of the program shares: the kinds of request a front end
// tells apart, the agent text, the lane a request waits in, and how an answer
// becomes program text.
#include <optional>
#include <string>
#include <string_view>

#include "net/HTTPGet.h"
#include "net/request_kind.h"

namespace net {

// Every request of the program presents itself with the same agent text.
extern const char* const kAgent;

// Requests to the vendor server (login, pages, points, shares and the test
// submission) take the vendor lane, so a batch run's fetches never hold them
// up. A batch post goes there too when it is posted to the vendor's own
// address.
Lane laneFor(RequestKind kind, const std::string& address);

// Sets a request up as every request of the program is: the agent, no cache,
// the lane of its kind, the address and (for a POST) its body.
void prepare(THTTPGet& request, RequestKind kind, const std::string& address,
             const std::string& body = {});

// The response text in the program's code page: a body that is well-formed
// UTF-8 is converted to GBK; anything else (a GBK page, binary data, broken
// UTF-8) is kept exactly as received.
std::string answerText(const std::string& body);

} // namespace net
