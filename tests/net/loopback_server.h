#pragma once
// Servers on 127.0.0.1 for the network tests: an HTTP server that records what
// it received and answers as told, a raw socket server that misbehaves
// (drops connections, cuts a body short, stays silent, drips), and a TLS server
// with a certificate of its own making.
#include <httplib.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/raw_client.h"

struct RecordedRequest {
    std::string method;
    std::string target; // the request target as sent, undecoded
    std::string path;
    httplib::Headers headers;
    std::string body;

    bool hasHeader(const std::string& name) const { return headers.count(name) > 0; }
    std::string header(const std::string& name) const {
        auto it = headers.find(name);
        return it == headers.end() ? std::string() : it->second;
    }
};

struct Reply {
    int status = 200;
    std::string body;
    std::string lastModified;
    std::string location;
    int delayMs = 0;
    std::string contentType = "text/plain";
};

class LoopbackServer {
  public:
    LoopbackServer() {
        // Loopback requests never go through a proxy of the environment.
        ::setenv("no_proxy", "127.0.0.1,localhost", 1);
        m_server.new_task_queue = [] { return new httplib::ThreadPool(40); };
        m_server.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
            handle(req, res, req.body);
        });
        // The body is read through a content reader: the library's own form
        // parsing would refuse form bodies above 8 KB.
        m_server.Post(".*", [this](const httplib::Request& req, httplib::Response& res,
                                   const httplib::ContentReader& reader) {
            std::string body;
            reader([&body](const char* data, size_t n) {
                body.append(data, n);
                return true;
            });
            handle(req, res, body);
        });
        m_server.set_payload_max_length(64 * 1024 * 1024);
        // Enough workers that every transfer the client runs at once is served
        // at once: the library's default on a 2-core machine is 8, which would
        // queue slow answers behind each other and hide what the client does.
        m_server.new_task_queue = [] { return new httplib::ThreadPool(40); };
        // One request per connection, so that stopping never waits for an idle
        // kept-alive connection to time out.
        m_server.set_keep_alive_max_count(1);
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~LoopbackServer() {
        m_server.stop();
        m_thread.join();
    }

    int port() const { return m_port; }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(m_port); }

    // The reply to requests whose target as sent, or else whose decoded path,
    // is `key`; others get the default.
    void answer(const std::string& key, Reply reply) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_replies[key] = std::move(reply);
    }
    void answerAll(Reply reply) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_default = std::move(reply);
    }

    std::vector<RecordedRequest> requests() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }
    size_t count() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests.size();
    }
    int maxConcurrent() const { return m_maxConcurrent; }

  private:
    void handle(const httplib::Request& req, httplib::Response& res, const std::string& body) {
        int now = ++m_concurrent;
        int seen = m_maxConcurrent;
        while (now > seen && !m_maxConcurrent.compare_exchange_weak(seen, now)) {
        }
        Reply reply;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back({req.method, req.target, req.path, req.headers, body});
            auto it = m_replies.find(req.target);
            if (it == m_replies.end()) it = m_replies.find(req.path);
            reply = it == m_replies.end() ? m_default : it->second;
        }
        if (reply.delayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(reply.delayMs));
        res.status = reply.status;
        if (!reply.lastModified.empty()) res.set_header("Last-Modified", reply.lastModified);
        if (!reply.location.empty()) res.set_header("Location", reply.location);
        res.set_content(reply.body, reply.contentType);
        --m_concurrent;
    }

    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    std::mutex m_mutex;
    std::map<std::string, Reply> m_replies;
    Reply m_default{200, "ok"};
    std::vector<RecordedRequest> m_requests;
    std::atomic<int> m_concurrent{0};
    std::atomic<int> m_maxConcurrent{0};
};

// The next connection to a listening socket, or -1 once `stop` is set.
inline int acceptUntil(int listenFd, const std::atomic<bool>& stop) {
    while (!stop) {
        pollfd p{listenFd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        if (int fd = ::accept(listenFd, nullptr, nullptr); fd >= 0) return fd;
    }
    return -1;
}

// A server that reads each request and then answers with `reply` (raw bytes,
// possibly empty) and closes the connection, or, when `silent`, keeps the
// connection open without a word until it is destroyed. With `dripMs` it
// writes the reply one byte at a time, that many milliseconds apart.
class RawServer {
  public:
    RawServer(std::string reply, bool silent = false, int dripMs = 0)
        : m_reply(std::move(reply)), m_silent(silent), m_dripMs(dripMs) {
        ::setenv("no_proxy", "127.0.0.1,localhost", 1);
        m_listen = listenOnLoopback(m_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~RawServer() {
        m_stop = true;
        m_thread.join();
        for (int fd : m_open)
            ::close(fd);
        ::close(m_listen);
    }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    int accepted() const { return m_accepted; }

  private:
    void serve() {
        for (int fd; (fd = acceptUntil(m_listen, m_stop)) >= 0;) {
            ++m_accepted;
            readRequestHead(fd);
            if (m_silent) {
                m_open.push_back(fd);
                continue;
            }
            if (m_dripMs > 0) {
                for (size_t i = 0; i < m_reply.size() && !m_stop; ++i) {
                    if (::send(fd, &m_reply[i], 1, MSG_NOSIGNAL) != 1) break;
                    std::this_thread::sleep_for(std::chrono::milliseconds(m_dripMs));
                }
            } else if (!m_reply.empty()) {
                (void)!::write(fd, m_reply.data(), m_reply.size());
            }
            ::close(fd);
        }
    }
    static void readRequestHead(int fd) {
        std::string head;
        char buf[4096];
        while (head.find("\r\n\r\n") == std::string::npos) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0) return;
            ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0) return;
            head.append(buf, static_cast<size_t>(n));
        }
    }

    std::string m_reply;
    bool m_silent;
    int m_dripMs;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_accepted{0};
    std::vector<int> m_open;
    std::thread m_thread;
};

// An HTTPS server on 127.0.0.1 with a self-signed certificate for that address,
// made afresh. It answers each request with the raw reply for its path (404
// otherwise) and counts the requests that got through the handshake.
class TlsServer {
  public:
    explicit TlsServer(std::map<std::string, std::string> replies) : m_replies(std::move(replies)) {
        ::setenv("no_proxy", "127.0.0.1,localhost", 1);
        EVP_PKEY* key = EVP_EC_gen("P-256");
        X509* cert = X509_new();
        X509_set_version(cert, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
        X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
        X509_gmtime_adj(X509_getm_notAfter(cert), 3600);
        X509_set_pubkey(cert, key);
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
        X509_set_issuer_name(cert, name);
        X509V3_CTX ctx;
        X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
        for (auto [nid, value] : {std::pair{NID_subject_alt_name, "IP:127.0.0.1"},
                                  std::pair{NID_basic_constraints, "critical,CA:TRUE"}}) {
            X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
            X509_add_ext(cert, ext, -1);
            X509_EXTENSION_free(ext);
        }
        X509_sign(cert, key, EVP_sha256());
        m_certFile = (std::filesystem::temp_directory_path() /
                      ("wyc-tls-" + std::to_string(::getpid()) + "-" +
                       std::to_string(reinterpret_cast<std::uintptr_t>(this)) + ".pem"))
                         .string();
        if (FILE* f = std::fopen(m_certFile.c_str(), "w")) {
            PEM_write_X509(f, cert);
            std::fclose(f);
        }
        m_ctx = SSL_CTX_new(TLS_server_method());
        SSL_CTX_use_certificate(m_ctx, cert);
        SSL_CTX_use_PrivateKey(m_ctx, key);
        X509_free(cert);
        EVP_PKEY_free(key);

        m_listen = listenOnLoopback(m_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~TlsServer() {
        m_stop = true;
        m_thread.join();
        ::close(m_listen);
        SSL_CTX_free(m_ctx);
        std::remove(m_certFile.c_str());
    }
    std::string base() const { return "https://127.0.0.1:" + std::to_string(m_port); }
    // The certificate, to be trusted as its own authority.
    const std::string& certificateFile() const { return m_certFile; }
    int requests() const { return m_requests; }

  private:
    void serve() {
        for (int fd; (fd = acceptUntil(m_listen, m_stop)) >= 0;) {
            timeval limit{2, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
            SSL* ssl = SSL_new(m_ctx);
            SSL_set_fd(ssl, fd);
            if (SSL_accept(ssl) == 1) {
                std::string head;
                char buf[4096];
                while (head.find("\r\n\r\n") == std::string::npos) {
                    int n = SSL_read(ssl, buf, sizeof buf);
                    if (n <= 0) break;
                    head.append(buf, static_cast<size_t>(n));
                }
                if (head.find("\r\n\r\n") != std::string::npos) {
                    ++m_requests;
                    const auto start = head.find(' ') + 1;
                    const std::string path = head.substr(start, head.find(' ', start) - start);
                    auto it = m_replies.find(path);
                    const std::string reply = it != m_replies.end()
                                                  ? it->second
                                                  : "HTTP/1.1 404 Not Found\r\nContent-Length: 0"
                                                    "\r\nConnection: close\r\n\r\n";
                    SSL_write(ssl, reply.data(), static_cast<int>(reply.size()));
                    SSL_shutdown(ssl);
                }
            }
            ERR_clear_error();
            SSL_free(ssl);
            ::close(fd);
        }
    }

    std::map<std::string, std::string> m_replies;
    std::string m_certFile;
    SSL_CTX* m_ctx = nullptr;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_requests{0};
    std::thread m_thread;
};
