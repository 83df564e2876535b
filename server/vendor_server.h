#pragma once
// The companion vendor server: every address the desktop program uses, with
// its data in a SQLite file or a shared PostgreSQL database. Serves from threads of its own so that
// tests and benchmarks can start it in their own process.
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

    // Binds the address and serves. Returns the port (the chosen one when the
    // options ask for port 0). Throws when it cannot bind.
    int start();
    // Closes every connection and returns once no request runs any more
    // (within a second or two, whatever the clients do); safe to call twice.
    void stop();
    int port() const;
    Storage& storage();

  private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace wycserver
