#pragma once
// The server's HTTP side over GNU libmicrohttpd: a few event-driven network
// threads hold every connection, so a slow or idle client costs a little
// memory and no thread. Routes run on the network thread that read them,
// except the slow ones (password hashing), which run on a bounded pool while
// their connection waits aside. Limits: connections in all and per client
// address, memory per connection (which bounds request lines and headers),
// body size, an idle time-out and an overall deadline per request.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "options.h"
#include "protocol.h"

namespace wycserver {

struct HttpRequest {
    std::string method;
    std::string target; // path and query exactly as sent
    std::string path;   // the target before "?"
    std::string remote; // client address, e.g. "127.0.0.1"
    FormFields form;    // a form post's fields, those the route keeps
    std::uint64_t bodyBytes = 0;
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "text/plain; charset=utf-8";
    std::string body;
};

struct Route {
    std::string method; // "GET" or "POST"
    std::string path;
    // Runs on the hashing pool instead of a network thread.
    bool slow = false;
    // POST: the form fields kept, each with its largest decoded size.
    std::map<std::string, std::size_t, std::less<>> formFields;
    // The answer (status 413) when a field is larger than allowed.
    std::string tooLargeText;
    std::function<HttpResponse(const HttpRequest&)> handle;
};

// A message for an HTTP error status, in the server's wording.
std::string httpErrorText(int status);

class HttpFront {
  public:
    HttpFront(const ServerOptions& options, std::vector<Route> routes);
    ~HttpFront();
    HttpFront(const HttpFront&) = delete;
    HttpFront& operator=(const HttpFront&) = delete;

    // Listens and serves; returns the port. Throws when it cannot listen.
    int start();
    // Closes every connection and returns once nothing runs any more: slow
    // work already begun finishes, waiting work is refused. Safe to call twice.
    void stop();

  private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace wycserver
