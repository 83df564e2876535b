#pragma once
// The service's HTTP side over GNU libmicrohttpd. A few event-driven network
// threads hold every connection, so a slow or idle client costs a little
// memory and no thread. Routes that read a body run on the work queue while
// their connection waits aside, so the rewrites spread over the workers
// whichever network thread took the connection; the others answer on the
// network thread.
// Limits: connections in all, memory per connection (which bounds request
// lines and headers), body size, bodies held in memory at once, an idle
// time-out and an overall deadline per request.
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace service {

struct FrontOptions {
    std::string bind = "127.0.0.1";
    int port = 8610; // 0: any free port
    std::size_t maxBodyBytes = 4u << 20;
    // Bodies of requests being read or waiting for a worker, all together;
    // past it new requests are refused (503) instead of filling memory.
    std::size_t maxBufferedBytes = 256u << 20;
    unsigned maxConnections = 4096;
    // A connection that sends nothing this long is closed; a request that
    // takes longer than the deadline to arrive is cut off.
    unsigned idleTimeoutSec = 15;
    unsigned requestDeadlineSec = 60;
    unsigned networkThreads = 2;
    unsigned workThreads = 0; // 0: one per processor core
    std::size_t maxWaiting = 1024;
    bool accessLog = false; // one line per request on standard output
};

struct Request {
    std::string method;
    std::string target; // path and query exactly as sent
    std::string path;   // the target before "?"
    std::string query;  // after "?"
    std::string contentType;
    std::string authorization;
    std::string body;
};

struct Response {
    int status = 200;
    std::string contentType;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
};

struct Route {
    std::string method; // "GET" (which HEAD also takes) or "POST"
    std::string path;
    // Looks at the head before the body is read: an answer refuses the
    // request at once (a wrong token, an unsupported body type).
    std::function<std::optional<Response>(const Request&)> screen;
    std::function<Response(Request&)> handle;
    // Runs on the work queue (with the body) instead of the network thread.
    bool queued = false;
};

class HttpFront {
  public:
    HttpFront(FrontOptions options, std::vector<Route> routes);
    ~HttpFront();
    HttpFront(const HttpFront&) = delete;
    HttpFront& operator=(const HttpFront&) = delete;

    // Listens and serves; returns the port. Throws when it cannot listen.
    int start();
    // Closes every connection and returns once nothing runs any more: work
    // already begun finishes, waiting work is refused. Safe to call twice.
    void stop();

  private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace service
