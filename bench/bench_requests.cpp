// Request load: 1,000 GET requests launched at once through the request
// component, against a server on the loopback interface. Prints the elapsed
// time, the peak thread count of this process and its peak memory.
//
//   bench_requests [--url BASE] [--count N]
//
// Without --url a small HTTP server is started in a child process (so that its
// threads are not counted), answering /get_test.asp?id=N with a short article.
// With --url the requests go to BASE + "/get_test.asp?id=N" (for example the
// companion server at http://127.0.0.1:8600).
#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "net/HTTPGet.h"

namespace {

// A field of /proc/self/status ("Threads", "VmHWM"), as a number.
long statusField(const std::string& name) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, name.size() + 1, name + ":") == 0)
            return std::strtol(line.c_str() + name.size() + 1, nullptr, 10);
    }
    return -1;
}

// The GUI thread of this program: a queue of completions run by pump().
class Gui {
  public:
    void post(std::function<void()> fn) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(std::move(fn));
    }
    int pump() {
        int ran = 0;
        for (;;) {
            std::function<void()> fn;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_queue.empty()) return ran;
                fn = std::move(m_queue.front());
                m_queue.pop_front();
            }
            fn();
            ++ran;
        }
    }

  private:
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_queue;
};

// Serves one keep-alive connection: every request head gets the article.
void serveConnection(int fd) {
    const std::string article(2000, 'a');
    std::string pending;
    char buf[4096];
    for (;;) {
        auto end = pending.find("\r\n\r\n");
        if (end == std::string::npos) {
            ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0) break;
            pending.append(buf, static_cast<size_t>(n));
            continue;
        }
        pending.erase(0, end + 4);
        std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                            std::to_string(article.size()) + "\r\n\r\n" + article;
        if (::write(fd, reply.data(), reply.size()) != static_cast<ssize_t>(reply.size())) break;
    }
    ::close(fd);
}

// Starts the answering server in a child process; returns its port.
int startChildServer(pid_t& child) {
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        ::listen(listener, 1024) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return -1;
    child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        for (;;) {
            int fd = ::accept(listener, nullptr, nullptr);
            if (fd >= 0) std::thread(serveConnection, fd).detach();
        }
    }
    ::close(listener);
    return ntohs(addr.sin_port);
}

} // namespace

int main(int argc, char** argv) {
    std::string base;
    int count = 1000;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--url" && i + 1 < argc)
            base = argv[++i];
        else if (a == "--count" && i + 1 < argc)
            count = std::atoi(argv[++i]);
        else {
            std::fprintf(stderr, "usage: bench_requests [--url BASE] [--count N]\n");
            return 2;
        }
    }
    pid_t child = -1;
    if (base.empty()) {
        int port = startChildServer(child);
        if (port <= 0) {
            std::fprintf(stderr, "bench_requests: cannot start the loopback server\n");
            return 1;
        }
        base = "http://127.0.0.1:" + std::to_string(port);
    }
    const long threadsBefore = statusField("Threads");

    Gui gui;
    long peakThreads = threadsBefore;
    auto sample = [&] { peakThreads = std::max(peakThreads, statusField("Threads")); };
    net::GuiLink link{[&gui](std::function<void()> fn) { gui.post(std::move(fn)); },
                      [&gui, &sample] {
                          gui.pump();
                          sample();
                      }};

    int done = 0, failed = 0;
    std::vector<std::unique_ptr<THTTPGet>> requests;
    requests.reserve(static_cast<size_t>(count));
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        auto r = std::make_unique<THTTPGet>(link);
        r->URL = base + "/get_test.asp?id=" + std::to_string(i + 1);
        r->OnDoneString = [&done](THTTPGet*, const std::string&) { ++done; };
        r->OnError = [&failed](THTTPGet*) { ++failed; };
        requests.push_back(std::move(r));
        requests.back()->Start();
    }
    auto deadline = start + std::chrono::seconds(60);
    while (done + failed < count && std::chrono::steady_clock::now() < deadline) {
        if (gui.pump() == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
        sample();
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    long hwmKb = statusField("VmHWM");

    if (child > 0) {
        ::kill(child, SIGTERM);
        ::waitpid(child, nullptr, 0);
    }

    const bool inTime = seconds <= 5.0 && done + failed == count;
    const bool threadsOk = peakThreads <= 16 + threadsBefore;
    const bool memoryOk = hwmKb >= 0 && hwmKb < 200 * 1024;
    std::printf("requests:       %d against %s\n", count, base.c_str());
    std::printf("succeeded:      %d, failed: %d\n", done, failed);
    std::printf("elapsed:        %.3f s (target: within 5 s) %s\n", seconds,
                inTime ? "ok" : "MISSED");
    std::printf("threads:        peak %ld, %ld before the requests (target: at most 16 more) %s\n",
                peakThreads, threadsBefore, threadsOk ? "ok" : "MISSED");
    std::printf("peak memory:    %.1f MB (target: under 200 MB) %s\n", hwmKb / 1024.0,
                memoryOk ? "ok" : "MISSED");
    return inTime && threadsOk && memoryOk && failed == 0 ? 0 : 1;
}
