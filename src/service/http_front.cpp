#include "service/http_front.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <unordered_set>

#include "service/api_error.h"
#include "service/work_queue.h"

// How a request travels: the library reads the request line and headers into
// the connection's fixed memory (too large: it answers 414 or 431 itself).
// The raw target comes from the request-line callback, since the library
// decodes the path. The first call of the access handler picks the route and
// refuses what the head alone can refuse; the body then arrives in pieces
// and is kept; the last call either answers at once or, for a queued route,
// suspends the connection until a worker has the answer and resumes it.
//
// The library knows only an idle time-out, which a client sending one byte
// every few seconds never trips; a thread of our own shuts down the socket
// of a connection past its deadline, and the library then closes it.
// Connections register from the library's connection callbacks, which run
// before it closes a socket, so a socket number is never reused under us.

namespace service {

namespace {

using Clock = std::chrono::steady_clock;

struct Connection {
    MHD_socket fd = MHD_INVALID_SOCKET;
    std::string target;           // raw target of the request being read
    Clock::time_point deadline{}; // guarded by the registry mutex
    bool waiting = false;         // its request is with the work queue
};

struct Exchange {
    Connection* connection = nullptr;
    const Route* route = nullptr;
    Request request;
    std::optional<Response> answer;
    std::size_t budget = 0; // bytes counted against the buffered total
    bool drain = false;     // a body over the limit, read and dropped before the refusal
    bool suspended = false;
    std::uint64_t seen = 0; // body bytes arrived
};

Response errorResponse(ApiError error) {
    return {statusOf(error), "application/json; charset=utf-8", errorJson(error), {}};
}

std::string header(MHD_Connection* c, const char* name) {
    const char* v = MHD_lookup_connection_value(c, MHD_HEADER_KIND, name);
    return v ? v : "";
}

} // namespace

struct HttpFront::Impl {
    FrontOptions options;
    std::vector<Route> routes;
    WorkQueue queue;
    MHD_Daemon* daemon = nullptr;
    std::atomic<std::size_t> buffered{0};
    std::atomic<int> suspended{0};

    std::mutex registryMutex;
    std::unordered_set<Connection*> registry;

    std::mutex deadlineMutex;
    std::condition_variable deadlineWake;
    bool stopping = false;
    std::thread deadlineThread;

    Impl(FrontOptions o, std::vector<Route> r)
        : options(std::move(o)), routes(std::move(r)),
          queue(options.workThreads ? options.workThreads
                                    : std::max(1u, std::thread::hardware_concurrency()),
                options.maxWaiting) {}

    Clock::time_point nextDeadline() const {
        return Clock::now() + std::chrono::seconds(options.requestDeadlineSec);
    }

    // ---- connections and their deadlines

    static void onConnection(void* cls, MHD_Connection* c, void** socketContext,
                             MHD_ConnectionNotificationCode code) {
        auto* self = static_cast<Impl*>(cls);
        if (code == MHD_CONNECTION_NOTIFY_STARTED) {
            auto* conn = new Connection;
            if (auto* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD))
                conn->fd = info->connect_fd;
            std::lock_guard lock(self->registryMutex);
            conn->deadline = self->nextDeadline();
            self->registry.insert(conn);
            *socketContext = conn;
            return;
        }
        auto* conn = static_cast<Connection*>(*socketContext);
        if (!conn) return;
        {
            std::lock_guard lock(self->registryMutex);
            self->registry.erase(conn);
        }
        delete conn;
        *socketContext = nullptr;
    }

    static Connection* connectionOf(MHD_Connection* c) {
        auto* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
        return info ? static_cast<Connection*>(info->socket_context) : nullptr;
    }

    static void* onRequestLine(void*, const char* uri, MHD_Connection* c) {
        if (auto* conn = connectionOf(c)) conn->target = uri ? uri : "";
        return nullptr;
    }

    void setWaiting(Exchange& ex, bool waiting) {
        if (!ex.connection) return;
        std::lock_guard lock(registryMutex);
        ex.connection->waiting = waiting;
        // The answer, once there, has a deadline of its own to reach the client.
        if (!waiting) ex.connection->deadline = nextDeadline();
    }

    static void onCompleted(void* cls, MHD_Connection*, void** context,
                            MHD_RequestTerminationCode) {
        auto* self = static_cast<Impl*>(cls);
        auto* ex = static_cast<Exchange*>(*context);
        if (!ex) return;
        if (ex->suspended) --self->suspended; // closed while being resumed
        self->release(*ex);
        self->setWaiting(*ex, false); // and the next request on it starts its own clock
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

    // ---- the body budget

    bool reserve(Exchange& ex, std::size_t bytes) {
        std::size_t now = buffered.load();
        do
            if (now + bytes > options.maxBufferedBytes) return false;
        while (!buffered.compare_exchange_weak(now, now + bytes));
        ex.budget += bytes;
        return true;
    }

    void release(Exchange& ex) {
        buffered -= ex.budget;
        ex.budget = 0;
    }

    // ---- requests

    MHD_Result send(MHD_Connection* c, Exchange& ex, const Response& res) {
        MHD_Response* response = MHD_create_response_from_buffer(
            res.body.size(), const_cast<char*>(res.body.data()), MHD_RESPMEM_MUST_COPY);
        if (!response) return MHD_NO;
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, res.contentType.c_str());
        for (const auto& [name, value] : res.headers)
            MHD_add_response_header(response, name.c_str(), value.c_str());
        const MHD_Result queued =
            MHD_queue_response(c, static_cast<unsigned>(res.status), response);
        MHD_destroy_response(response);
        release(ex);
        if (options.accessLog) {
            // Paths only: a query may carry the token.
            std::printf("%s %s %d %zu\n", ex.request.method.c_str(), ex.request.path.c_str(),
                        res.status, res.body.size());
            std::fflush(stdout);
        }
        return queued;
    }

    const Route* findRoute(const std::string& method, const std::string& path,
                           ApiError& error) const {
        bool pathKnown = false;
        for (const Route& r : routes) {
            if (r.path != path) continue;
            if (r.method == method || (method == "HEAD" && r.method == "GET")) return &r;
            pathKnown = true;
        }
        error = pathKnown ? ApiError::MethodNotAllowed : ApiError::NotFound;
        return nullptr;
    }

    // The first call: the head is complete, no body has been read.
    void begin(MHD_Connection* c, Exchange& ex, const char* method, const char* url) {
        ex.connection = connectionOf(c);
        Request& req = ex.request;
        req.method = method ? method : "";
        req.target = ex.connection ? std::move(ex.connection->target) : (url ? url : "");
        const size_t mark = req.target.find('?');
        req.path = req.target.substr(0, std::min(mark, req.target.find('#')));
        if (mark != std::string::npos)
            req.query = req.target.substr(mark + 1, req.target.find('#', mark) - mark - 1);
        req.contentType = header(c, MHD_HTTP_HEADER_CONTENT_TYPE);
        req.authorization = header(c, MHD_HTTP_HEADER_AUTHORIZATION);
        ApiError error = ApiError::NotFound;
        ex.route = findRoute(req.method, req.path, error);
        if (!ex.route) {
            Response refusal = errorResponse(error);
            if (error == ApiError::MethodNotAllowed)
                refusal.headers.push_back({"Allow", allowedMethods(req.path)});
            ex.answer = std::move(refusal);
            return;
        }
        if (ex.route->screen) ex.answer = ex.route->screen(req);
    }

    std::string allowedMethods(const std::string& path) const {
        std::string allowed;
        for (const Route& r : routes)
            if (r.path == path)
                allowed +=
                    (allowed.empty() ? "" : ", ") + r.method + (r.method == "GET" ? ", HEAD" : "");
        return allowed;
    }

    // Reads the declared length. A body declared larger than allowed is read
    // and dropped, so that the client, still sending, reads the refusal
    // instead of a reset connection; one beyond reason is refused at once.
    // Only bytes that arrived count against the bodies held at once, so a
    // client that declares much and sends little holds nothing back.
    void sizeUp(MHD_Connection* c, Exchange& ex) {
        const std::string length = header(c, MHD_HTTP_HEADER_CONTENT_LENGTH);
        if (length.empty()) return;
        const unsigned long long declared = std::strtoull(length.c_str(), nullptr, 10);
        if (declared > options.maxBodyBytes) {
            ex.drain = true;
            if (declared > 4ull * options.maxBodyBytes)
                ex.answer = errorResponse(ApiError::TooLarge);
            return;
        }
        if (buffered.load() + declared > options.maxBufferedBytes) {
            ex.answer = errorResponse(ApiError::Busy);
            return;
        }
        // Address space only: pages are touched as the bytes arrive.
        ex.request.body.reserve(declared);
    }

    MHD_Result takeBody(Exchange& ex, const char* data, std::size_t size) {
        ex.seen += size;
        if (ex.drain) return ex.seen > 4ull * options.maxBodyBytes ? MHD_NO : MHD_YES;
        if (ex.seen > options.maxBodyBytes) {
            // Chunked, or longer than declared: from here on only counted.
            ex.drain = true;
            std::string().swap(ex.request.body);
            release(ex);
            return MHD_YES;
        }
        // Past the bodies held at once: drop this one (a memory flood).
        if (!reserve(ex, size)) return MHD_NO;
        ex.request.body.append(data, size);
        return MHD_YES;
    }

    void enqueue(MHD_Connection* c, Exchange& ex) {
        ex.suspended = true;
        ++suspended;
        setWaiting(ex, true);
        MHD_suspend_connection(c);
        Exchange* exchange = &ex;
        const bool queued = queue.push({[this, c, exchange] {
                                            exchange->answer = handle(*exchange);
                                            MHD_resume_connection(c);
                                        },
                                        [c, exchange] {
                                            exchange->answer = errorResponse(ApiError::Busy);
                                            MHD_resume_connection(c);
                                        }});
        if (!queued) {
            ex.answer = errorResponse(ApiError::Busy);
            MHD_resume_connection(c);
        }
    }

    Response handle(Exchange& ex) {
        try {
            return ex.route->handle(ex.request);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "wyc-cli serve: %s %s failed: %s\n", ex.request.method.c_str(),
                         ex.request.path.c_str(), e.what());
        } catch (...) {
            std::fprintf(stderr, "wyc-cli serve: %s %s failed\n", ex.request.method.c_str(),
                         ex.request.path.c_str());
        }
        return errorResponse(ApiError::Internal);
    }

    MHD_Result onRequest(MHD_Connection* c, const char* url, const char* method, const char* upload,
                         std::size_t* uploadSize, void** context) {
        auto* ex = static_cast<Exchange*>(*context);
        if (!ex) {
            ex = new Exchange;
            *context = ex;
            begin(c, *ex, method, url);
            if (!ex->answer && ex->route->queued) sizeUp(c, *ex);
            // A refusal from the head goes out at once; the library then
            // closes the connection instead of reading a body nobody wants.
            if (ex->answer) return send(c, *ex, *ex->answer);
            return MHD_YES;
        }
        if (*uploadSize) {
            const MHD_Result go = takeBody(*ex, upload, *uploadSize);
            *uploadSize = 0;
            return go;
        }
        if (ex->suspended) {
            ex->suspended = false;
            --suspended;
            setWaiting(*ex, false);
            return send(c, *ex, ex->answer ? *ex->answer : errorResponse(ApiError::Internal));
        }
        if (ex->drain) return send(c, *ex, errorResponse(ApiError::TooLarge));
        if (ex->route->queued) {
            enqueue(c, *ex);
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
        if (!static_cast<Impl*>(cls)->options.accessLog) return;
        std::fputs("wyc-cli serve: ", stderr);
        std::vfprintf(stderr, format, args);
    }

    int start() {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
        addrinfo* found = nullptr;
        const std::string where = options.bind + ":" + std::to_string(options.port);
        if (getaddrinfo(options.bind.c_str(), std::to_string(options.port).c_str(), &hints,
                        &found) != 0 ||
            !found)
            throw std::runtime_error("cannot listen on " + where + ": unknown address");
        sockaddr_storage address{};
        std::memcpy(&address, found->ai_addr, found->ai_addrlen);
        freeaddrinfo(found);

        unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_SUSPEND_RESUME |
                         MHD_USE_ERROR_LOG;
        if (address.ss_family == AF_INET6) flags |= MHD_USE_IPv6;
        daemon = MHD_start_daemon(
            flags, static_cast<std::uint16_t>(options.port), nullptr, nullptr, &Impl::access, this,
            MHD_OPTION_EXTERNAL_LOGGER, &Impl::log, this, MHD_OPTION_SOCK_ADDR, &address,
            MHD_OPTION_THREAD_POOL_SIZE, std::max(1u, options.networkThreads),
            MHD_OPTION_CONNECTION_LIMIT, options.maxConnections, MHD_OPTION_CONNECTION_TIMEOUT,
            options.idleTimeoutSec, MHD_OPTION_CONNECTION_MEMORY_LIMIT, std::size_t{32 * 1024},
            MHD_OPTION_LISTEN_BACKLOG_SIZE, unsigned{SOMAXCONN}, MHD_OPTION_NOTIFY_CONNECTION,
            &Impl::onConnection, this, MHD_OPTION_NOTIFY_COMPLETED, &Impl::onCompleted, this,
            MHD_OPTION_URI_LOG_CALLBACK, &Impl::onRequestLine, this, MHD_OPTION_END);
        if (!daemon) throw std::runtime_error("cannot listen on " + where);
        const auto* info = MHD_get_daemon_info(daemon, MHD_DAEMON_INFO_BIND_PORT);
        deadlineThread = std::thread([this] { deadlineLoop(); });
        return info ? info->port : options.port;
    }

    void stop() {
        if (!daemon) return;
        // Work already begun finishes and resumes its connection; waiting
        // work is refused. The library must not stop while a connection is
        // still suspended, so wait for the resumed ones to be taken back.
        queue.stop();
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

HttpFront::HttpFront(FrontOptions options, std::vector<Route> routes)
    : m(std::make_unique<Impl>(std::move(options), std::move(routes))) {}

HttpFront::~HttpFront() {
    stop();
}

int HttpFront::start() {
    return m->start();
}

void HttpFront::stop() {
    m->stop();
}

} // namespace service
