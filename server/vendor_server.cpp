#include "vendor_server.h"

#include <httplib.h>
#include <sys/socket.h>

#include <cstdio>
#include <stdexcept>
#include <thread>

#include "account_pages.h"
#include "client_answers.h"
#include "pages.h"
#include "passwords.h"
#include "protocol.h"
#include "storage.h"

namespace wycserver {

namespace {

constexpr const char* kText = "text/plain; charset=utf-8";
constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr std::size_t kThreads = 32;
// Bodies up to this size are read to the end even when refused as too large.
constexpr std::uint64_t kDrainLimit = 64u << 20;

std::optional<std::string> param(const httplib::Request& req, const char* name) {
    if (!req.has_param(name)) return std::nullopt;
    return req.get_param_value(name);
}

std::string errorText(int status) {
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
    case 500:
        return "服务器内部错误，请稍后再试";
    default:
        return "请求无法处理（" + std::to_string(status) + "）";
    }
}

} // namespace

struct VendorServer::Impl {
    ServerOptions options;
    Storage storage;
    VerifiedPasswords verified;
    ClientAnswers answers{storage, verified};
    AccountPages accounts{storage};
    httplib::Server http;
    std::thread thread;
    int port = -1;
    socket_t listenSocket = INVALID_SOCKET;

    explicit Impl(ServerOptions o)
        : options(std::move(o)), storage(options.dataFile, options.starterPairs) {}

    // Reads a posted body up to the size limit; false when it was larger.
    bool readBody(const httplib::ContentReader& reader, std::string& body) const {
        bool tooLarge = false;
        std::size_t total = 0;
        const bool ok = reader([&](const char* data, std::size_t len) {
            total += len;
            if (total > kDrainLimit) return false;
            if (total > options.maxBodyBytes) {
                tooLarge = true;
                body.clear();
            } else {
                body.append(data, len);
            }
            return true;
        });
        return ok && !tooLarge;
    }

    void refuseLargeBody(httplib::Response& res) const {
        res.status = 413;
        res.set_header("Connection", "close");
        res.set_content(errorText(413), kText);
    }

    // A form post: the body is read by hand because the library caps
    // form-encoded bodies it parses itself far below an article's size.
    void postForm(
        const char* path,
        std::function<void(const httplib::Request&, httplib::Response&, const std::string& body)>
            handle) {
        http.Post(path, [this, handle](const httplib::Request& req, httplib::Response& res,
                                       const httplib::ContentReader& reader) {
            std::string body;
            if (req.is_multipart_form_data()) {
                reader([](const httplib::MultipartFormData&) { return true; },
                       [](const char*, std::size_t) { return true; });
                res.status = 415;
                res.set_content("请以 application/x-www-form-urlencoded 方式提交", kText);
                return;
            }
            // A body over the limit is read and dropped, so that the client sees the
            // answer instead of a reset connection; an absurd declared length is
            // answered at once.
            const auto declared = req.get_header_value<std::uint64_t>("Content-Length");
            if (declared > kDrainLimit || !readBody(reader, body)) return refuseLargeBody(res);
            handle(req, res, body);
        });
    }

    void routes() {
        http.Get("/login_client.asp", [this](const httplib::Request& req, httplib::Response& res) {
            res.set_content(answers.login(rawQuery(req.target)), kText);
        });
        http.Get("/loadtyc.asp", [this](const httplib::Request& req, httplib::Response& res) {
            res.set_content(answers.page(param(req, "page")), kText);
        });
        http.Get("/keywords_point.asp",
                 [this](const httplib::Request& req, httplib::Response& res) {
                     res.set_content(answers.points(param(req, "q").value_or("")), kText);
                 });
        http.Get("/sendkeywords.asp", [this](const httplib::Request& req, httplib::Response& res) {
            res.set_content(answers.share(param(req, "q").value_or("")), kText);
        });

        http.Get("/post_test.asp", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(pages::posts(storage.latestPosts(20)), kHtml);
        });
        postForm("/post_test.asp", [this](const httplib::Request& req, httplib::Response& res,
                                          const std::string& body) {
            const auto form = parseForm(body);
            const std::string id = displayText(formValue(form, "id").value_or(""));
            const std::string content = displayText(formValue(form, "content").value_or(""));
            storage.addPost(id, content, body, req.remote_addr);
            std::size_t chars = 0;
            for (unsigned char c : content)
                if ((c & 0xC0) != 0x80) ++chars;
            res.set_content("提交成功：id=" + shortenUtf8(answerField(id), 120) + "，内容" +
                                std::to_string(chars) + "字",
                            kText);
        });
        http.Get("/get_test.asp", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(pages::sampleArticle(param(req, "id").value_or("")), kText);
        });

        http.Get("/register.asp", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(pages::registerForm(), kHtml);
        });
        postForm("/register.asp",
                 [this](const httplib::Request&, httplib::Response& res, const std::string& body) {
                     res.set_content(accounts.signUp(parseForm(body)), kHtml);
                 });
        http.Get("/findpwd.asp", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(pages::findPasswordForm(), kHtml);
        });
        postForm("/findpwd.asp",
                 [this](const httplib::Request&, httplib::Response& res, const std::string& body) {
                     res.set_content(accounts.recover(parseForm(body)), kHtml);
                 });

        http.Get("/tychelp.html", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(pages::help(), kHtml);
        });
        http.Get("/softad/tyc.html", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(pages::banner(), kHtml);
        });
        http.Get("/", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(pages::index(), kHtml);
        });
    }

    void configure() {
        http.new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
        http.set_payload_max_length(options.maxBodyBytes);
        // Headers and body go out in separate writes; without this, a keep-alive
        // client waits for the delayed acknowledgement on every answer.
        http.set_tcp_nodelay(true);
        // An idle keep-alive connection holds a worker, and stop() waits for it.
        http.set_keep_alive_timeout(1);
        // Only SO_REUSEADDR: a second server on a port in use must fail to bind.
        // The library applies these options to the listening socket alone, which
        // lets start() find it.
        http.set_socket_options([this](socket_t sock) {
            int yes = 1;
            setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
            listenSocket = sock;
        });
        http.set_error_handler([](const httplib::Request&, httplib::Response& res) {
            if (res.body.empty()) res.set_content(errorText(res.status), kText);
        });
        http.set_exception_handler(
            [](const httplib::Request& req, httplib::Response& res, std::exception_ptr ep) {
                std::string what = "unknown error";
                try {
                    if (ep) std::rethrow_exception(ep);
                } catch (const std::exception& e) {
                    what = e.what();
                } catch (...) {
                }
                std::fprintf(stderr, "wyc-server: %s %s failed: %s\n", req.method.c_str(),
                             req.path.c_str(), what.c_str());
                res.status = 500;
                res.set_content(errorText(500), kText);
            });
        if (options.accessLog) {
            // Paths only: the login query carries the password in clear.
            http.set_logger([](const httplib::Request& req, const httplib::Response& res) {
                std::printf("%s %s %s %d\n", req.remote_addr.c_str(), req.method.c_str(),
                            req.path.c_str(), res.status);
                std::fflush(stdout);
            });
        }
        routes();
    }
};

VendorServer::VendorServer(ServerOptions options) : m(std::make_unique<Impl>(std::move(options))) {
    m->configure();
}

VendorServer::~VendorServer() {
    stop();
}

int VendorServer::start() {
    if (m->thread.joinable()) return m->port;
    const auto& host = m->options.host;
    if (m->options.port == 0) {
        m->port = m->http.bind_to_any_port(host);
        if (m->port < 0) throw std::runtime_error("cannot listen on " + host);
    } else {
        if (!m->http.bind_to_port(host, m->options.port))
            throw std::runtime_error("cannot listen on " + host + ":" +
                                     std::to_string(m->options.port));
        m->port = m->options.port;
    }
    // The library listens with a backlog of 5, so a burst of clients connecting
    // at once would see dropped connection requests and a one-second retry.
    // Listening again on the bound socket raises the backlog.
    if (m->listenSocket != INVALID_SOCKET) ::listen(m->listenSocket, SOMAXCONN);
    m->thread = std::thread([this] { m->http.listen_after_bind(); });
    return m->port;
}

void VendorServer::stop() {
    if (!m || !m->thread.joinable()) return;
    m->http.stop();
    m->thread.join();
}

int VendorServer::port() const {
    return m->port;
}

Storage& VendorServer::storage() {
    return m->storage;
}

} // namespace wycserver
