#include "raw_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>

int listenOnLoopback(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        ::listen(fd, 16) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    port = ntohs(addr.sin_port);
    return fd;
}

int freeLoopbackPort() {
    int port = 0;
    const int fd = listenOnLoopback(port);
    if (fd >= 0) ::close(fd);
    return port;
}

bool acceptsConnections(int port) {
    RawClient probe(port);
    return probe.connected();
}

void waitForListener(int port) {
    for (int i = 0; i < 200 && !acceptsConnections(port); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
}

RawClient::RawClient(int port, const std::string& sourceAddress) {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // A server that stops reading must not leave a test blocked in send().
    timeval limit{10, 0};
    if (m_fd >= 0) ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, sourceAddress.c_str(), &local.sin_addr);
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr);
    if (m_fd >= 0 && (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
                      ::connect(m_fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0)) {
        ::close(m_fd);
        m_fd = -1;
    }
}

RawClient::~RawClient() {
    if (m_fd >= 0) ::close(m_fd);
}

bool RawClient::send(std::string_view bytes) {
    while (m_fd >= 0 && !bytes.empty()) {
        const ssize_t n = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return m_fd >= 0;
}

std::string RawClient::read(int ms, std::size_t enough) {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (m_fd >= 0 && got.size() < enough) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        pollfd p{m_fd, POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) break;
        char buf[4096];
        const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
}

bool RawClient::closedWithin(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, std::min(ms, 50)) <= 0) continue;
        char buf[4096];
        if (::recv(m_fd, buf, sizeof buf, 0) <= 0) return true;
    } while (m_fd >= 0 && std::chrono::steady_clock::now() < end);
    return false;
}
