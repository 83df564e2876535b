#pragma once
// Servers on 127.0.0.1 for the network tests: an HTTP server that records what
// it received and answers as told, and a raw socket server that misbehaves
// (drops connections, cuts a body short, stays silent).
#include <httplib.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

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
        res.set_content(reply.body, "text/plain");
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

// A server that reads each request and then answers with `reply` (raw bytes,
// possibly empty) and closes the connection, or, when `silent`, keeps the
// connection open without a word until it is destroyed.
class RawServer {
  public:
    RawServer(std::string reply, bool silent = false)
        : m_reply(std::move(reply)), m_silent(silent) {
        ::setenv("no_proxy", "127.0.0.1,localhost", 1);
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(m_listen, 16);
        socklen_t len = sizeof addr;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
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
        while (!m_stop) {
            pollfd p{m_listen, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            int fd = ::accept(m_listen, nullptr, nullptr);
            if (fd < 0) continue;
            ++m_accepted;
            readRequestHead(fd);
            if (m_silent) {
                m_open.push_back(fd);
                continue;
            }
            if (!m_reply.empty()) (void)!::write(fd, m_reply.data(), m_reply.size());
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
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_accepted{0};
    std::vector<int> m_open;
    std::thread m_thread;
};
