#pragma once
// The server's HTTP side over GNU libmicrohttpd: a few event-driven network
// threads hold every connection, so a slow or idle client costs a little
// memory and no thread. A route runs in one of three lanes: on the network
// thread that read it (fixed pages, which never wait on anything), on the
// store's pool (anything that reads or writes the store), or on the hashing
// pool (password checks). The pools have bounded queues: when one is full the
// request is answered "busy" at once, so a stalled database never holds up the
// network threads. Limits: connections in all and per client address, memory
// per connection (which bounds request lines and headers), body size, an idle
// time-out and an overall deadline per request.
//
// Stopping comes in two steps for a rolling restart: drain() stops accepting
// connections (a proxy then sends new requests elsewhere), answers what
// arrives on the open ones with "Connection: close", and waits until they are
// gone; stop() then closes whatever is left.
#include <chrono>
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
    std::string id;     // the request's id (from the trusted proxy, or made here)
    FormFields form;    // a form post's fields, those the route keeps
    std::uint64_t bodyBytes = 0;
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "text/plain; charset=utf-8";
    std::string body;
    std::int64_t account = 0; // the account the request proved, for the log
    bool noStore = false;     // the page holds a secret: no cache may keep it
};

enum class Lane { Network, Store, Hash };

struct Route {
    std::string method; // "GET" or "POST"
    std::string path;
    Lane lane = Lane::Store;
    // POST: the form fields kept, each with its largest decoded size.
    std::map<std::string, std::size_t, std::less<>> formFields;
    // The answer (status 413) when a field is larger than allowed.
    std::string tooLargeText;
    std::function<HttpResponse(const HttpRequest&)> handle;
    // Hashing lane: true when this request waits behind the others.
    std::function<bool(const HttpRequest&)> behind;
};

// What the front reports as it works (the access log and the metrics).
class HttpObserver {
  public:
    virtual ~HttpObserver() = default;
    // Every answer, once it is queued for sending; `route` is the path of a
    // known route, or "other".
    virtual void answered(const HttpRequest& request, const std::string& route,
                          const HttpResponse& response, std::chrono::microseconds took) = 0;
    // A failure of the server's own (a route that threw, a library message).
    virtual void error(const std::string& message) = 0;
};

// A message for an HTTP error status, in the server's wording.
std::string httpErrorText(int status);

class HttpFront {
  public:
    HttpFront(const ServerOptions& options, std::vector<Route> routes,
              HttpObserver* observer = nullptr);
    ~HttpFront();
    HttpFront(const HttpFront&) = delete;
    HttpFront& operator=(const HttpFront&) = delete;

    // Listens and serves; returns the port. Throws when it cannot listen.
    int start();
    // Stops accepting, lets the open connections finish (idle ones are
    // closed after a short grace), and returns when none is left or
    // `timeout` has passed.
    void drain(std::chrono::milliseconds timeout);
    // Closes every connection and returns once nothing runs any more: slow
    // work already begun finishes, waiting work is refused. Safe to call twice.
    void stop();

    bool draining() const;
    std::size_t openConnections() const;
    std::size_t waiting(Lane lane) const; // requests queued for a pool
    std::size_t running(Lane lane) const; // requests a pool is working on

  private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace wycserver
