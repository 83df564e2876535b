#pragma once
// The rewrite service of `wyc-cli serve`: the thesaurus of one setting.dat,
// the rewrite interface, a health check and a page for the browser.
//
//   POST /api/rewrite   rewrite one article (fields: see rewrite_request.h)
//   GET  /api/health    {"status":"ok","pairs":N,...} for load balancers
//   GET  /              the page (with /page.css and /page.js)
#include <memory>
#include <string>
#include <string_view>

#include "service/http_front.h"
#include "service/rewrite_request.h"
#include "service/thesaurus_holder.h"

namespace service {

struct ServiceOptions {
    FrontOptions front;
    std::string dbPath = "setting.dat";
    // When set, every rewrite must carry it; required unless bound to a
    // loopback address.
    std::string token;
    RewriteDefaults defaults;
};

class RewriteService {
  public:
    // Loads the thesaurus. Throws std::invalid_argument when bound to an
    // address other than loopback without a token, and what loading throws.
    explicit RewriteService(ServiceOptions options);
    ~RewriteService();
    RewriteService(const RewriteService&) = delete;
    RewriteService& operator=(const RewriteService&) = delete;

    // Listens; returns the port. Throws when it cannot.
    int start();
    // Stops within a moment: rewrites under way finish, waiting ones are
    // refused. Safe to call twice.
    void stop();

    // See ThesaurusHolder; call from one thread (the control loop).
    bool reload(std::string* error = nullptr);
    bool reloadIfChanged(std::string* error = nullptr);
    std::shared_ptr<const Snapshot> snapshot() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

// 127.0.0.0/8, ::1 and "localhost".
bool isLoopback(const std::string& address);
// The token of a token file: its first line without surrounding blanks.
// Throws std::runtime_error when the file cannot be read or holds no token.
std::string readTokenFile(const std::string& path);
// Compares in time that does not depend on where the two differ.
bool tokenMatches(std::string_view expected, std::string_view given);

} // namespace service
