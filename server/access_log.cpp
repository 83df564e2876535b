#include "access_log.h"

#include <cstdio>
#include <ctime>

#include "http_front.h"

namespace wycserver {

namespace {

void writeLine(FILE* out, const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), out);
    std::fputc('\n', out);
    std::fflush(out);
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string milliseconds(std::chrono::microseconds took) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(took.count()) / 1000.0);
    return text;
}

} // namespace

std::string loggable(std::string_view text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < text.size() && out.size() < 200; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c > 0x20 && c < 0x7f && c != '"' && c != '\\' && c != '%') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

AccessLog::AccessLog(bool requests, bool json, Sink requestSink, Sink errorSink, Clock now)
    : m_requests(requests), m_json(json), m_requestSink(std::move(requestSink)),
      m_errorSink(std::move(errorSink)), m_now(std::move(now)) {
    if (!m_requestSink) m_requestSink = [](const std::string& line) { writeLine(stdout, line); };
    if (!m_errorSink) m_errorSink = [](const std::string& line) { writeLine(stderr, line); };
}

// UTC with milliseconds, e.g. "2026-12-09T19:12:06.123Z".
std::string AccessLog::timestamp() const {
    const auto now = m_now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch() %
                                                                          std::chrono::seconds(1))
                        .count();
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &tm);
    std::snprintf(text + n, sizeof text - n, ".%03dZ", static_cast<int>(ms));
    return text;
}

void AccessLog::request(const HttpRequest& req, const HttpResponse& res,
                        std::chrono::microseconds took) {
    if (!m_requests) return;
    const std::string account = res.account ? std::to_string(res.account) : "";
    std::string line;
    if (m_json) {
        line = "{\"time\":\"" + timestamp() + "\",\"remote\":" + jsonString(loggable(req.remote)) +
               ",\"method\":" + jsonString(loggable(req.method)) +
               ",\"route\":" + jsonString(loggable(req.path)) +
               ",\"status\":" + std::to_string(res.status) +
               ",\"bytes\":" + std::to_string(res.body.size()) + ",\"ms\":" + milliseconds(took) +
               ",\"account\":" + (account.empty() ? "null" : account) +
               ",\"request\":" + jsonString(loggable(req.id)) + "}";
    } else {
        line = timestamp() + " " + loggable(req.remote) + " " + loggable(req.method) + " " +
               loggable(req.path) + " " + std::to_string(res.status) + " " +
               std::to_string(res.body.size()) + " " + milliseconds(took) +
               "ms account=" + (account.empty() ? "-" : account) + " request=" + loggable(req.id);
    }
    std::lock_guard lock(m_mutex);
    m_requestSink(line);
}

void AccessLog::error(const std::string& message) {
    std::lock_guard lock(m_mutex);
    const auto now = m_now();
    if (now - m_windowStart >= kErrorWindow) {
        if (m_suppressed)
            m_errorSink(timestamp() + " wyc-server: " + std::to_string(m_suppressed) +
                        " more error messages left out");
        m_windowStart = now;
        m_inWindow = 0;
        m_suppressed = 0;
    }
    if (m_inWindow >= kErrorsPerWindow) {
        ++m_suppressed;
        return;
    }
    ++m_inWindow;
    std::string oneLine = message;
    for (char& c : oneLine)
        if (c == '\n' || c == '\r') c = ' ';
    m_errorSink(timestamp() + " wyc-server: " + oneLine);
}

} // namespace wycserver
