#pragma once
// The companion vendor server: every address the desktop program uses, with
// its data in a SQLite file or a shared PostgreSQL database, plus what an
// operator needs: /healthz and /readyz beside the service, Prometheus metrics
// on an address of their own, and an access log. Serves from threads of its
// own so that tests and benchmarks can start it in their own process.
#include <memory>

#include "options.h"

namespace wycserver {

class Storage;

class VendorServer {
  public:
    // Opens (or creates) the store; throws when it cannot.
    explicit VendorServer(ServerOptions options);
    ~VendorServer();
    VendorServer(const VendorServer&) = delete;
    VendorServer& operator=(const VendorServer&) = delete;

    // Binds the addresses and serves. Returns the port (the chosen one when
    // the options ask for port 0). Throws when it cannot bind.
    int start();
    // The first step of stopping: /readyz answers 503, no new connection is
    // taken, and the open ones finish (within the drain timeout).
    void drain();
    // Closes every connection and returns once no request runs any more
    // (within a second or two, whatever the clients do); safe to call twice.
    void stop();
    int port() const;
    // The port of the metrics listener; -1 without one.
    int metricsPort() const;
    bool ready() const;
    Storage& storage();

  private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace wycserver
