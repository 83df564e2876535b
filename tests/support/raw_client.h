#pragma once
// Raw TCP on 127.0.0.1 for tests and benchmarks: a listening socket, and a
// connection for clients that misbehave (slow, idle or sending what no
// browser would).
#include <cstddef>
#include <string>
#include <string_view>

// A socket listening on a free port of 127.0.0.1, which goes to `port`; -1
// when none can be had.
int listenOnLoopback(int& port);
// A port of 127.0.0.1 that was free a moment ago (for a program to listen on).
int freeLoopbackPort();
// True when something accepts connections on the port of 127.0.0.1.
bool acceptsConnections(int port);
// Waits (up to 5 s) until something accepts connections on the port.
void waitForListener(int port);

class RawClient {
  public:
    // sourceAddress: the local address to connect from (127.0.0.x looks like
    // another client).
    explicit RawClient(int port, const std::string& sourceAddress = "127.0.0.1");
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;
    bool connected() const { return m_fd >= 0; }
    // False once the server has closed the connection (or after 10 s blocked).
    bool send(std::string_view bytes);
    // What arrives until the server closes the connection, `enough` bytes
    // have come, or `ms` pass.
    std::string read(int ms, std::size_t enough = std::string::npos);
    // True when the server closes the connection within `ms` (0: already closed).
    bool closedWithin(int ms);

  private:
    int m_fd = -1;
};
