#pragma once
// The server's log: one line per answered request (time, client address,
// method, route without its query, status, bytes, duration, account when
// known, request id), as text or as JSON, and error lines with their time.
// Errors are rate-limited: a flood of failures writes a few lines and then
// how many were left out, so a broken store cannot fill the disk.
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace wycserver {

struct HttpRequest;
struct HttpResponse;

class AccessLog {
  public:
    using Sink = std::function<void(const std::string& line)>;
    using Clock = std::function<std::chrono::system_clock::time_point()>;
    static constexpr int kErrorsPerWindow = 20;
    static constexpr std::chrono::seconds kErrorWindow{10};

    // Empty sinks write to standard output (requests) and standard error.
    AccessLog(bool requests, bool json, Sink requestSink = {}, Sink errorSink = {},
              Clock now = std::chrono::system_clock::now);

    void request(const HttpRequest& request, const HttpResponse& response,
                 std::chrono::microseconds took);
    void error(const std::string& message);

  private:
    std::string timestamp() const;

    bool m_requests;
    bool m_json;
    Sink m_requestSink;
    Sink m_errorSink;
    Clock m_now;
    std::mutex m_mutex;
    std::chrono::system_clock::time_point m_windowStart{};
    int m_inWindow = 0;
    long m_suppressed = 0;
};

// A text from a client made safe for a log line: printable ASCII stays, every
// other byte (and quote, backslash and blank) becomes %XX, at most 200 bytes.
std::string loggable(std::string_view text);

} // namespace wycserver
