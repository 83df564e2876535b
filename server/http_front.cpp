#include "http_front.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <random>
#include <stdexcept>
#include <thread>
#include <unordered_set>

#include "forwarded.h"
#include "work_pool.h"

// How a request travels: libmicrohttpd reads the request line and headers
// into the connection's fixed memory pool (too large: it answers 414 or 431
// itself). The raw target is taken from the request-line callback, because
// the library decodes the path and splits the query. The first call of the
// access handler picks the route and refuses what can be refused from the
// head alone; the body then arrives in pieces and is decoded as it comes,
// keeping only the fields the route wants. The last call answers, on this
// thread for a network-lane route or, for the others, by suspending the
// connection until a pool thread has the answer and resumes it.
//
// The overall deadline needs a thread of its own: the library knows only an
// idle time-out, which a client sending one byte a second never trips. The
// deadline thread shuts down the socket of a connection past its deadline;
// the library then sees the connection fail and closes it. Connections are
// registered from the library's connection callbacks, which run before it
// closes a socket, so a socket is never shut down after its number was reused.

namespace wycserver {

namespace {

using Clock = std::chrono::steady_clock;

// One client connection, from accept to close. Guarded by the registry mutex
// but for the target, which only the connection's network thread touches.
struct Connection {
    MHD_socket fd = MHD_INVALID_SOCKET;
    std::string remote;
    std::string target;           // raw target of the request being read
    Clock::time_point deadline{}; // of the request under way
    Clock::time_point idleSince{};
    bool waiting = false; // work for it runs on a pool (no deadline then)
    bool busy = false;    // a request has begun and is not answered yet
};

// One request on a connection.
struct Exchange {
    Connection* connection = nullptr;
    const Route* route = nullptr;
    HttpRequest request;
    std::optional<FormStream> form;
    std::uint64_t bodyBytes = 0;
    bool drain = false; // a body over the limit, read and dropped before the refusal
    std::optional<HttpResponse> answer; // decided before the last call, or by a pool thread
    bool suspended = false;
    Clock::time_point began = Clock::now();
};

std::string addressText(const sockaddr* sa) {
    char text[INET6_ADDRSTRLEN] = {};
    if (!sa) return {};
    if (sa->sa_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(sa)->sin_addr, text, sizeof text);
    else if (sa->sa_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(sa)->sin6_addr, text,
                  sizeof text);
    return text;
}

HttpResponse errorResponse(int status) {
    return {status, "text/plain; charset=utf-8", httpErrorText(status)};
}

bool startsWithNoCase(const char* text, const char* prefix) {
    return text && strncasecmp(text, prefix, std::strlen(prefix)) == 0;
}

// A request id that a proxy may pass on: short, and only characters that
// cannot disturb a log line.
bool usableRequestId(const char* id) {
    if (!id) return false;
    const std::size_t n = std::strlen(id);
    if (n == 0 || n > 64) return false;
    return std::all_of(id, id + n, [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
               c == '-' || c == '_' || c == '.';
    });
}

} // namespace

std::string httpErrorText(int status) {
    switch (status) {
    case 400:
        return "请求格式不正确";
    case 404:
        return "页面不存在";
    case 405:
        return "不支持这种请求方式";
    case 413:
        return "提交的内容太大";
    case 414:
        return "请求地址太长";
    case 415:
        return "请以 application/x-www-form-urlencoded 方式提交";
    case 429:
        return "请求太频繁，请稍后再试";
    case 431:
        return "请求头太大";
    case 500:
        return "服务器内部错误，请稍后再试";
    case 503:
        return "服务器繁忙，请稍后再试";
    default:
        return "请求无法处理（" + std::to_string(status) + "）";
    }
}

struct HttpFront::Impl {
    ServerOptions options;
    std::vector<Route> routes;
    HttpObserver* observer;
    std::unique_ptr<WorkPool> storePool;
    std::unique_ptr<WorkPool> hashPool;
    MHD_Daemon* daemon = nullptr;
    std::string idPrefix;
    std::atomic<std::uint64_t> nextId{0};

    mutable std::mutex registryMutex;
    std::unordered_set<Connection*> registry;
    std::atomic<int> suspended{0};
    std::atomic<bool> draining{false};

    std::mutex deadlineMutex;
    std::condition_variable deadlineWake;
    bool stopping = false;
    std::thread deadlineThread;

    Impl(const ServerOptions& o, std::vector<Route> r, HttpObserver* obs)
        : options(o), routes(std::move(r)), observer(obs) {
        auto uses = [this](Lane lane) {
            return std::any_of(routes.begin(), routes.end(),
                               [lane](const Route& route) { return route.lane == lane; });
        };
        if (uses(Lane::Store))
            storePool = std::make_unique<WorkPool>(std::max(1u, o.storeThreads), o.maxWaitingStore);
        // Two lanes: logins under suspicion of guessing wait in the second.
        if (uses(Lane::Hash))
            hashPool = std::make_unique<WorkPool>(
                o.hashThreads ? o.hashThreads
                              : std::clamp(std::thread::hardware_concurrency(), 2u, 8u),
                o.maxWaitingHashes, 2);
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "%06x", std::random_device{}() & 0xffffff);
        idPrefix = prefix;
    }

    // Behind a proxy every connection comes from the proxy: the limit per
    // client address is then the proxy's to apply.
    unsigned perAddressLimit() const {
        return options.trustedProxy.empty() ? options.maxConnectionsPerAddress : 0u;
    }

    std::uint64_t drainLimit() const { return 4 * std::uint64_t{options.maxBodyBytes}; }

    Clock::time_point nextDeadline() const {
        return Clock::now() + std::chrono::seconds(options.requestDeadlineSec);
    }

    WorkPool* poolFor(Lane lane) const {
        return lane == Lane::Store  ? storePool.get()
               : lane == Lane::Hash ? hashPool.get()
                                    : nullptr;
    }

    void reportError(const std::string& message) {
        if (observer) observer->error(message);
    }

    // ---- connections

    static void onConnection(void* cls, MHD_Connection* c, void** socketContext,
                             MHD_ConnectionNotificationCode code) {
        auto* self = static_cast<Impl*>(cls);
        if (code == MHD_CONNECTION_NOTIFY_STARTED) {
            auto* conn = new Connection;
            if (auto* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD))
                conn->fd = info->connect_fd;
            if (auto* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CLIENT_ADDRESS))
                conn->remote = addressText(info->client_addr);
            std::lock_guard lock(self->registryMutex);
            conn->deadline = self->nextDeadline();
            conn->idleSince = Clock::now();
            self->registry.insert(conn);
            *socketContext = conn;
        } else {
            auto* conn = static_cast<Connection*>(*socketContext);
            if (!conn) return;
            {
                std::lock_guard lock(self->registryMutex);
                self->registry.erase(conn);
            }
            delete conn;
            *socketContext = nullptr;
        }
    }

    static Connection* connectionOf(MHD_Connection* c) {
        auto* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
        return info ? static_cast<Connection*>(info->socket_context) : nullptr;
    }

    static void* onRequestLine(void* cls, const char* uri, MHD_Connection* c) {
        auto* self = static_cast<Impl*>(cls);
        if (auto* conn = connectionOf(c)) {
            conn->target = uri ? uri : "";
            std::lock_guard lock(self->registryMutex);
            conn->busy = true;
        }
        // Queries are read from the raw target kept above. The library would
        // also split the query into a record per parameter, taken from the
        // connection's fixed memory: a few hundred empty parameters used it
        // up, and the request went unanswered. It splits the text it passes
        // here, right after this call returns, so ending that text at the "?"
        // leaves it nothing to split.
        if (uri) {
            if (char* query = const_cast<char*>(std::strchr(uri, '?'))) query[1] = '\0';
        }
        return nullptr;
    }

    static void onCompleted(void* cls, MHD_Connection*, void** context,
                            MHD_RequestTerminationCode) {
        auto* self = static_cast<Impl*>(cls);
        auto* ex = static_cast<Exchange*>(*context);
        if (!ex) return;
        if (ex->suspended) --self->suspended; // closed while resuming
        if (ex->connection) {
            // The next request on this connection has a deadline of its own.
            std::lock_guard lock(self->registryMutex);
            ex->connection->deadline = self->nextDeadline();
            ex->connection->waiting = false;
            ex->connection->busy = false;
            ex->connection->idleSince = Clock::now();
        }
        delete ex;
        *context = nullptr;
    }

    void deadlineLoop() {
        std::unique_lock lock(deadlineMutex);
        while (!stopping) {
            deadlineWake.wait_for(lock, std::chrono::milliseconds(250));
            const auto now = Clock::now();
            std::lock_guard registryLock(registryMutex);
            for (Connection* conn : registry)
                if (!conn->waiting && conn->deadline < now && conn->fd != MHD_INVALID_SOCKET)
                    ::shutdown(conn->fd, SHUT_RDWR);
        }
    }

    // ---- requests

    std::string routeName(const Exchange& ex) const { return ex.route ? ex.route->path : "other"; }

    MHD_Result send(MHD_Connection* c, Exchange& ex, const HttpResponse& res) {
        MHD_Response* response = MHD_create_response_from_buffer(
            res.body.size(), const_cast<char*>(res.body.data()), MHD_RESPMEM_MUST_COPY);
        if (!response) return MHD_NO;
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, res.contentType.c_str());
        // Pages are never to be shown inside another site's frame, nor read
        // as another type than they say.
        MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
        MHD_add_response_header(response, "X-Frame-Options", "DENY");
        MHD_add_response_header(response, "Referrer-Policy", "no-referrer");
        if (res.noStore) MHD_add_response_header(response, "Cache-Control", "no-store");
        if (!ex.request.id.empty())
            MHD_add_response_header(response, "X-Request-Id", ex.request.id.c_str());
        // While draining, each connection takes its answer and closes, so the
        // proxy opens its next one to another instance.
        if (draining) MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
        const MHD_Result queued =
            MHD_queue_response(c, static_cast<unsigned>(res.status), response);
        MHD_destroy_response(response);
        if (observer)
            observer->answered(
                ex.request, routeName(ex), res,
                std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - ex.began));
        return queued;
    }

    const Route* findRoute(const std::string& method, const std::string& path, int& status) const {
        bool pathKnown = false;
        for (const auto& r : routes) {
            if (r.path != path) continue;
            if (r.method == method || (method == "HEAD" && r.method == "GET")) return &r;
            pathKnown = true;
        }
        status = pathKnown ? 405 : 404;
        return nullptr;
    }

    std::optional<std::string> header(MHD_Connection* c, const char* name) const {
        const char* v = MHD_lookup_connection_value(c, MHD_HEADER_KIND, name);
        return v ? std::optional<std::string>(v) : std::nullopt;
    }

    std::string newRequestId() {
        char id[32];
        std::snprintf(id, sizeof id, "%s-%08llx", idPrefix.c_str(),
                      static_cast<unsigned long long>(++nextId));
        return id;
    }

    // The first call: the head is complete, no body has been read.
    void begin(MHD_Connection* c, Exchange& ex, const char* method, const char* url) {
        ex.connection = connectionOf(c);
        HttpRequest& req = ex.request;
        req.method = method ? method : "";
        if (ex.connection) {
            req.target = std::move(ex.connection->target);
            req.remote = ex.connection->remote;
        } else {
            req.target = url ? url : "";
        }
        req.path = req.target.substr(0, req.target.find_first_of("?#"));
        const bool proxied = !options.trustedProxy.empty() && req.remote == options.trustedProxy;
        if (proxied)
            req.remote = clientAddress(req.remote, options.trustedProxy, header(c, "X-Real-IP"),
                                       header(c, "X-Forwarded-For"));
        const char* givenId = MHD_lookup_connection_value(c, MHD_HEADER_KIND, "X-Request-Id");
        req.id = proxied && usableRequestId(givenId) ? std::string(givenId) : newRequestId();
        if (req.target.size() > options.maxTargetBytes) {
            ex.answer = errorResponse(414);
            return;
        }
        int status = 404;
        ex.route = findRoute(req.method, req.path, status);
        if (!ex.route) {
            ex.answer = errorResponse(status);
            return;
        }
        if (ex.route->method != "POST") return;
        const char* type = MHD_lookup_connection_value(c, MHD_HEADER_KIND, "Content-Type");
        if (startsWithNoCase(type, "multipart/")) {
            ex.answer = errorResponse(415);
            return;
        }
        ex.form.emplace(ex.route->formFields);
    }

    // The declared body length, when there is one.
    static std::optional<unsigned long long> declaredLength(MHD_Connection* c) {
        const char* length = MHD_lookup_connection_value(c, MHD_HEADER_KIND, "Content-Length");
        if (!length) return std::nullopt;
        return std::strtoull(length, nullptr, 10);
    }

    void runOnPool(MHD_Connection* c, Exchange& ex, WorkPool& pool) {
        ex.suspended = true;
        ++suspended;
        {
            std::lock_guard lock(registryMutex);
            if (ex.connection) ex.connection->waiting = true;
        }
        MHD_suspend_connection(c);
        Exchange* exchange = &ex;
        // A request that waits behind others is asked again when its turn
        // comes: what was learnt meanwhile (a failure from its network) may
        // put it further back.
        WorkPool::Recheck recheck;
        if (ex.route->behind)
            recheck = [exchange] {
                return std::size_t{exchange->route->behind(exchange->request) ? 1u : 0u};
            };
        const std::size_t lane = recheck ? recheck() : 0;
        const bool queued = pool.submit(
            [this, c, exchange](bool cancelled) {
                exchange->answer = cancelled ? errorResponse(503) : handle(*exchange);
                MHD_resume_connection(c);
            },
            lane, std::move(recheck));
        if (!queued) {
            ex.answer = errorResponse(503);
            MHD_resume_connection(c);
        }
    }

    HttpResponse handle(Exchange& ex) {
        try {
            return ex.route->handle(ex.request);
        } catch (const std::exception& e) {
            reportError(ex.request.method + " " + ex.request.path + " failed: " + e.what());
        } catch (...) {
            reportError(ex.request.method + " " + ex.request.path + " failed");
        }
        return errorResponse(500);
    }

    MHD_Result onRequest(MHD_Connection* c, const char* url, const char* method, const char* upload,
                         std::size_t* uploadSize, void** context) {
        auto* ex = static_cast<Exchange*>(*context);
        if (!ex) {
            ex = new Exchange;
            *context = ex;
            begin(c, *ex, method, url);
            // A body declared larger than allowed is read and dropped, so that
            // the client, still sending, reads the refusal instead of a reset
            // connection; one beyond reason is refused at once.
            const auto length = declaredLength(c);
            if (ex->form && length && *length > options.maxBodyBytes) {
                if (*length > drainLimit()) ex->answer = errorResponse(413);
                ex->drain = true;
                ex->form.reset();
            }
            // A refusal from the head goes out at once; the library then
            // closes the connection instead of reading a body nobody wants.
            if (ex->answer) return send(c, *ex, *ex->answer);
            return MHD_YES;
        }
        if (*uploadSize) {
            ex->bodyBytes += *uploadSize;
            if (ex->bodyBytes > (ex->drain ? drainLimit() : options.maxBodyBytes)) return MHD_NO;
            if (ex->form) ex->form->feed(std::string_view(upload, *uploadSize));
            *uploadSize = 0;
            return MHD_YES;
        }
        if (ex->drain) return send(c, *ex, errorResponse(413));
        if (ex->suspended) {
            // Resumed: the pool thread has left its answer, which gets a
            // deadline of its own to reach the client.
            ex->suspended = false;
            --suspended;
            if (ex->connection) {
                std::lock_guard lock(registryMutex);
                ex->connection->waiting = false;
                ex->connection->deadline = nextDeadline();
            }
            return send(c, *ex, ex->answer ? *ex->answer : errorResponse(500));
        }
        ex->request.bodyBytes = ex->bodyBytes;
        if (ex->form) {
            ex->request.form = ex->form->finish();
            if (ex->form->tooLarge()) {
                return send(c, *ex,
                            {413, "text/plain; charset=utf-8",
                             ex->route->tooLargeText.empty() ? httpErrorText(413)
                                                             : ex->route->tooLargeText});
            }
        }
        if (WorkPool* pool = poolFor(ex->route->lane)) {
            runOnPool(c, *ex, *pool);
            return MHD_YES;
        }
        return send(c, *ex, handle(*ex));
    }

    static MHD_Result access(void* cls, MHD_Connection* c, const char* url, const char* method,
                             const char*, const char* upload, std::size_t* uploadSize,
                             void** context) {
        return static_cast<Impl*>(cls)->onRequest(c, url, method, upload, uploadSize, context);
    }

    static void log(void* cls, const char* format, va_list args) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        std::string message(text);
        while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
            message.pop_back();
        static_cast<Impl*>(cls)->reportError(message);
    }

    int start() {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_PASSIVE;
        addrinfo* found = nullptr;
        const std::string where = options.host + ":" + std::to_string(options.port);
        if (getaddrinfo(options.host.c_str(), nullptr, &hints, &found) != 0 || !found)
            throw std::runtime_error("cannot listen on " + where + ": unknown address");
        sockaddr_storage address{};
        std::memcpy(&address, found->ai_addr, found->ai_addrlen);
        freeaddrinfo(found);
        const bool v6 = address.ss_family == AF_INET6;
        if (v6)
            reinterpret_cast<sockaddr_in6*>(&address)->sin6_port = htons(options.port);
        else
            reinterpret_cast<sockaddr_in*>(&address)->sin_port = htons(options.port);

        // ITC lets drain() stop the listening while the threads run.
        unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_SUSPEND_RESUME |
                         MHD_USE_ERROR_LOG | MHD_USE_ITC;
        if (v6) flags |= MHD_USE_IPv6;
        daemon = MHD_start_daemon(
            flags, static_cast<std::uint16_t>(options.port), nullptr, nullptr, &Impl::access, this,
            MHD_OPTION_EXTERNAL_LOGGER, &Impl::log, this, MHD_OPTION_SOCK_ADDR, &address,
            MHD_OPTION_THREAD_POOL_SIZE, std::max(1u, options.networkThreads),
            MHD_OPTION_CONNECTION_LIMIT, options.maxConnections, MHD_OPTION_PER_IP_CONNECTION_LIMIT,
            perAddressLimit(), MHD_OPTION_CONNECTION_TIMEOUT, options.idleTimeoutSec,
            MHD_OPTION_CONNECTION_MEMORY_LIMIT, std::size_t{32 * 1024},
            MHD_OPTION_LISTEN_BACKLOG_SIZE, unsigned{SOMAXCONN}, MHD_OPTION_NOTIFY_CONNECTION,
            &Impl::onConnection, this, MHD_OPTION_NOTIFY_COMPLETED, &Impl::onCompleted, this,
            MHD_OPTION_URI_LOG_CALLBACK, &Impl::onRequestLine, this, MHD_OPTION_END);
        if (!daemon) throw std::runtime_error("cannot listen on " + where);
        const auto* info = MHD_get_daemon_info(daemon, MHD_DAEMON_INFO_BIND_PORT);
        const int port = info ? info->port : options.port;
        deadlineThread = std::thread([this] { deadlineLoop(); });
        return port;
    }

    void drain(std::chrono::milliseconds timeout) {
        if (!daemon || draining.exchange(true)) return;
        const MHD_socket listening = MHD_quiesce_daemon(daemon);
        if (listening != MHD_INVALID_SOCKET) ::close(listening);
        // An idle connection is closed once it has been idle for a moment: a
        // proxy closes its idle ones before that, so none of them can carry a
        // request at the instant it closes.
        const auto grace = std::chrono::milliseconds(options.drainIdleGraceMs);
        const auto giveUp = Clock::now() + timeout;
        while (Clock::now() < giveUp) {
            {
                std::lock_guard lock(registryMutex);
                if (registry.empty()) return;
                const auto now = Clock::now();
                for (Connection* conn : registry)
                    if (!conn->busy && now - conn->idleSince > grace &&
                        conn->fd != MHD_INVALID_SOCKET)
                        ::shutdown(conn->fd, SHUT_RDWR);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    void stop() {
        if (!daemon) return;
        // Work already begun finishes and resumes its connection; waiting
        // work is answered as refused. The library must not be stopped while
        // a connection is still suspended, so wait for the resumed ones to be
        // taken back.
        if (hashPool) hashPool->stop();
        if (storePool) storePool->stop();
        const auto giveUp = Clock::now() + std::chrono::seconds(2);
        while (suspended > 0 && Clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        MHD_stop_daemon(daemon);
        daemon = nullptr;
        {
            std::lock_guard lock(deadlineMutex);
            stopping = true;
        }
        deadlineWake.notify_all();
        if (deadlineThread.joinable()) deadlineThread.join();
    }
};

HttpFront::HttpFront(const ServerOptions& options, std::vector<Route> routes,
                     HttpObserver* observer)
    : m(std::make_unique<Impl>(options, std::move(routes), observer)) {}

HttpFront::~HttpFront() {
    stop();
}

int HttpFront::start() {
    return m->start();
}

void HttpFront::drain(std::chrono::milliseconds timeout) {
    m->drain(timeout);
}

void HttpFront::stop() {
    m->stop();
}

bool HttpFront::draining() const {
    return m->draining;
}

std::size_t HttpFront::openConnections() const {
    std::lock_guard lock(m->registryMutex);
    return m->registry.size();
}

std::size_t HttpFront::waiting(Lane lane) const {
    const WorkPool* pool = m->poolFor(lane);
    return pool ? pool->waiting() : 0;
}

std::size_t HttpFront::running(Lane lane) const {
    const WorkPool* pool = m->poolFor(lane);
    return pool ? pool->running() : 0;
}

} // namespace wycserver
