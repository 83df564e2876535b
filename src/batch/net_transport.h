#pragma once
// The network of a batch job for a front end without a window: the job's
// fetches and posts become requests of the program's request component, and
// their completions, run on the front end's event loop, go back to the job.
#include <list>
#include <memory>

#include "batch/job.h"
#include "net/HTTPGet.h"
#include "net/event_loop.h"
#include "net/request_kind.h"

namespace batch {

class NetTransport {
  public:
    explicit NetTransport(net::EventLoop& loop) : m_loop(loop) {}
    NetTransport(const NetTransport&) = delete;
    NetTransport& operator=(const NetTransport&) = delete;

    // Sets the job's fetch and post hooks to requests of this transport.
    void attach(Job& job);
    // Requests started and not yet completed.
    size_t pending() const { return m_requests.size(); }

  private:
    void start(Job& job, net::RequestKind kind, const Item& item, const std::string& url,
               const std::string& body);
    void release(const THTTPGet* request);

    net::EventLoop& m_loop;
    std::list<std::unique_ptr<Tmyhttpget>> m_requests;
};

} // namespace batch
