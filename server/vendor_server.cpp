#include "vendor_server.h"

#include <algorithm>
#include <optional>

#include "abuse_limits.h"
#include "access_log.h"
#include "account_pages.h"
#include "client_answers.h"
#include "http_front.h"
#include "metrics.h"
#include "pages.h"
#include "passwords.h"
#include "protocol.h"
#include "readiness.h"
#include "recent_failures.h"
#include "storage.h"
#include "stored_abuse_limits.h"

namespace wycserver {

namespace {

constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kText = "text/plain; charset=utf-8";
// Form fields of the account pages are short; these caps only keep a flood out.
constexpr std::size_t kAccountFieldBytes = 1024;
// The id of a test submission: a number or the address of the fetched page.
constexpr std::size_t kPostIdBytes = 4096;

std::optional<std::string> param(const HttpRequest& req, std::string_view name) {
    return formValue(parseForm(rawQuery(req.target)), name);
}

HttpResponse text(std::string body, std::int64_t account = 0) {
    return {200, kText, std::move(body), account};
}

HttpResponse text(ClientAnswer answer) {
    return text(std::move(answer.text), answer.account);
}

HttpResponse html(std::string body) {
    return {200, kHtml, std::move(body)};
}

// A page that shows a recovery code: no cache may keep it.
HttpResponse secret(std::string body) {
    HttpResponse r = html(std::move(body));
    r.noStore = true;
    return r;
}

StoreLocation storeLocation(const ServerOptions& o) {
    StoreLocation where;
    where.sqliteFile = o.dataFile;
    where.postgresUri = o.databaseUri;
    where.starterPairs = o.starterPairs;
    where.keptPostBytes = o.keptPostBytes;
    where.statementTimeoutMs = o.statementTimeoutMs;
    where.lockTimeoutMs = o.lockTimeoutMs;
    // Every thread that may use the store holds at most one connection; one
    // more for the readiness check.
    where.connections = std::max(1u, o.storeThreads) + (o.hashThreads ? o.hashThreads : 8u) + 1;
    return where;
}

AbuseLimitSettings limitSettings(const ServerOptions& o) {
    AbuseLimitSettings s;
    s.signUpsPerHour = o.signUpsPerHour;
    s.signUpsPerNetworkPerHour = o.signUpsPerNetworkPerHour;
    s.guessesPerAccount = o.guessesPerAccount;
    s.guessesPerNetwork = o.guessesPerNetwork;
    s.postUnitsPerAddress = o.postUnitsPerAddress;
    s.postUnitsPerNetwork = o.postUnitsPerNetwork;
    return s;
}

// The metrics listener: the same limits, a thread and a few connections.
ServerOptions metricsOptions(const ServerOptions& o) {
    ServerOptions m = o;
    m.host = o.metricsHost;
    m.port = o.metricsPort >= 0 ? o.metricsPort : (o.port == 0 ? 0 : o.port + 1000);
    m.trustedProxy.clear();
    m.networkThreads = 1;
    m.maxConnections = 64;
    m.maxConnectionsPerAddress = 64;
    return m;
}

std::size_t characterCount(std::string_view utf8) {
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

} // namespace

struct VendorServer::Impl : HttpObserver {
    ServerOptions options;
    AccessLog log;
    Metrics metrics;
    std::unique_ptr<Storage> store;
    Storage& storage;
    VerifiedPasswords verified;
    RecentFailures recent;
    StoredAbuseLimits limits;
    ClientAnswers answers{storage, verified, limits, recent};
    AccountPages accounts{storage, limits};
    std::unique_ptr<Readiness> readiness;
    HttpFront front;
    std::unique_ptr<HttpFront> metricsFront;
    bool started = false;
    int port = -1;
    int metricsPort = -1;

    explicit Impl(ServerOptions o)
        : options(std::move(o)),
          log(options.accessLog, options.jsonLog, options.accessLogSink, options.errorLogSink),
          store(openStorage(storeLocation(options))), storage(*store),
          limits(storage, limitSettings(options)), front(options, routes(), this) {
        if (options.metrics)
            metricsFront = std::make_unique<HttpFront>(
                metricsOptions(options),
                std::vector<Route>{
                    Route{"GET", "/metrics", Lane::Network, {}, {}, [this](const HttpRequest&) {
                              return metricsPage();
                          }}});
    }

    void answered(const HttpRequest& req, const std::string& route, const HttpResponse& res,
                  std::chrono::microseconds took) override {
        metrics.answered(route, res.status, took);
        log.request(req, res, took);
    }

    void error(const std::string& message) override { log.error(message); }

    // Work on the store: a store that does not answer in time makes the
    // request "busy", at once, instead of holding its thread.
    std::function<HttpResponse(const HttpRequest&)>
    guarded(std::function<HttpResponse(const HttpRequest&)> work) {
        return [this, work = std::move(work)](const HttpRequest& req) {
            try {
                return work(req);
            } catch (const StoreBusy& e) {
                metrics.storeFailed(true);
                log.error(req.method + " " + req.path + ": the store is busy: " + e.what());
                return HttpResponse{503, kText, httpErrorText(503)};
            } catch (const DbError&) {
                metrics.storeFailed(false);
                throw;
            }
        };
    }

    HttpResponse postTest(const HttpRequest& req) {
        // Anonymous posts of up to a megabyte each: a flood of them would push
        // everyone else's out of the store.
        if (!limits.takePost(req.remote, postUnits(req.bodyBytes)))
            return {429, kText, "提交失败：您所在的网络最近提交的内容太多，请稍后再试"};
        const std::string content = formValue(req.form, "content").value_or("");
        const std::string id = displayText(formValue(req.form, "id").value_or(""));
        const std::string shown = displayText(content);
        storage.addPost(id, content, shortenUtf8(shown, Storage::kPreviewBytes),
                        static_cast<std::int64_t>(req.bodyBytes), req.remote);
        return text("提交成功：id=" + shortenUtf8(answerField(id), 120) + "，内容" +
                    std::to_string(characterCount(shown)) + "字");
    }

    HttpResponse metricsPage() {
        const bool isReady = readiness && readiness->ready();
        HttpResponse r = text(metrics.render({
            {"wyc_open_connections", "Client connections open.",
             static_cast<double>(front.openConnections())},
            {"wyc_hash_queue_waiting", "Logins and sign-ups waiting for a hashing thread.",
             static_cast<double>(front.waiting(Lane::Hash))},
            {"wyc_hash_running", "Logins and sign-ups on a hashing thread.",
             static_cast<double>(front.running(Lane::Hash))},
            {"wyc_store_queue_waiting", "Requests waiting for a store thread.",
             static_cast<double>(front.waiting(Lane::Store))},
            {"wyc_store_running", "Requests on a store thread.",
             static_cast<double>(front.running(Lane::Store))},
            {"wyc_ready", "1 while /readyz answers 200.", isReady ? 1.0 : 0.0},
            {"wyc_draining", "1 once the instance is stopping.", front.draining() ? 1.0 : 0.0},
        }));
        r.contentType = "text/plain; version=0.0.4; charset=utf-8";
        return r;
    }

    std::vector<Route> routes() {
        const std::size_t content = options.maxPostContentBytes;
        const std::string tooLarge = "提交失败：内容超过" + std::to_string(content >> 10) + "KB（" +
                                     std::to_string(content) + "字节），没有保存";
        const std::map<std::string, std::size_t, std::less<>> accountFields{
            {"account", kAccountFieldBytes},
            {"password", kAccountFieldBytes},
            {"password2", kAccountFieldBytes},
            {"code", kAccountFieldBytes}};
        auto caller = [](const HttpRequest& req) { return Caller{req.remote, req.id}; };
        auto fixed = [](std::string path, std::function<HttpResponse(const HttpRequest&)> fn) {
            return Route{"GET", std::move(path), Lane::Network, {}, {}, std::move(fn)};
        };
        auto stored = [this](std::string method, std::string path,
                             std::function<HttpResponse(const HttpRequest&)> fn) {
            return Route{std::move(method),     std::move(path), Lane::Store, {}, {},
                         guarded(std::move(fn))};
        };
        Route login{"GET",
                    "/login_client.asp",
                    Lane::Hash,
                    {},
                    {},
                    guarded([this, caller](const HttpRequest& req) {
                        return text(answers.login(rawQuery(req.target), caller(req)));
                    })};
        // Logins of names and networks with recent failures wait behind the rest.
        login.behind = [this, caller](const HttpRequest& req) {
            return answers.loginIsSuspect(rawQuery(req.target), caller(req));
        };
        Route postForm{
            "POST",      "/post_test.asp",
            Lane::Store, {{"id", kPostIdBytes}, {"content", content}},
            tooLarge,    guarded([this](const HttpRequest& req) { return postTest(req); })};
        Route signUp{"POST",
                     "/register.asp",
                     Lane::Hash,
                     accountFields,
                     {},
                     guarded([this](const HttpRequest& req) {
                         return secret(accounts.signUp(req.form, req.remote, req.id));
                     })};
        Route recover{"POST",
                      "/findpwd.asp",
                      Lane::Hash,
                      accountFields,
                      {},
                      guarded([this](const HttpRequest& req) {
                          return secret(accounts.recover(req.form, req.remote));
                      })};
        return {
            login,
            stored(
                "GET", "/loadtyc.asp",
                [this](const HttpRequest& req) { return text(answers.page(param(req, "page"))); }),
            stored("GET", "/keywords_point.asp",
                   [this, caller](const HttpRequest& req) {
                       return text(answers.points(rawQuery(req.target), caller(req)));
                   }),
            stored("GET", "/sendkeywords.asp",
                   [this, caller](const HttpRequest& req) {
                       return text(answers.share(rawQuery(req.target), caller(req)));
                   }),
            stored(
                "GET", "/post_test.asp",
                [this](const HttpRequest&) { return html(pages::posts(storage.latestPosts(20))); }),
            postForm,
            fixed("/get_test.asp",
                  [](const HttpRequest& req) {
                      return text(pages::sampleArticle(param(req, "id").value_or("")));
                  }),
            fixed("/register.asp", [](const HttpRequest&) { return html(pages::registerForm()); }),
            signUp,
            fixed("/findpwd.asp",
                  [](const HttpRequest&) { return html(pages::findPasswordForm()); }),
            recover,
            fixed("/tychelp.html", [](const HttpRequest&) { return html(pages::help()); }),
            fixed("/softad/tyc.html", [](const HttpRequest&) { return html(pages::banner()); }),
            fixed("/", [](const HttpRequest&) { return html(pages::index()); }),
            // For supervisors and load balancers: the process answers, and
            // (from the last check, without waiting) the store answers in time.
            fixed("/healthz", [](const HttpRequest&) { return text("ok"); }),
            fixed("/readyz",
                  [this](const HttpRequest&) {
                      if (readiness && readiness->ready()) return text("ready");
                      return HttpResponse{503, kText, "not ready"};
                  }),
        };
    }
};

VendorServer::VendorServer(ServerOptions options) : m(std::make_unique<Impl>(std::move(options))) {}

VendorServer::~VendorServer() {
    stop();
}

int VendorServer::start() {
    if (m->started) return m->port;
    m->readiness = std::make_unique<Readiness>([this] { m->storage.ping(); },
                                               std::chrono::milliseconds(m->options.readyPingMs));
    m->port = m->front.start();
    if (m->metricsFront) m->metricsPort = m->metricsFront->start();
    m->started = true;
    return m->port;
}

void VendorServer::drain() {
    if (!m->started) return;
    if (m->readiness) m->readiness->stopping();
    m->front.drain(std::chrono::milliseconds(m->options.drainTimeoutMs));
}

void VendorServer::stop() {
    if (!m) return;
    if (m->readiness) m->readiness->stopping();
    m->front.stop();
    if (m->metricsFront) m->metricsFront->stop();
    m->readiness.reset();
}

int VendorServer::port() const {
    return m->port;
}

int VendorServer::metricsPort() const {
    return m->metricsPort;
}

bool VendorServer::ready() const {
    return m->readiness && m->readiness->ready();
}

Storage& VendorServer::storage() {
    return m->storage;
}

} // namespace wycserver
