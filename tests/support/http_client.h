#pragma once
// A blocking HTTP/1.1 client over libcurl for tests and benchmarks that talk to
// the companion server: the request target goes out byte for byte, and the
// connection is kept between requests unless asked otherwise.
#include <map>
#include <optional>
#include <string>
#include <vector>

struct HttpResult {
    int status = 0;
    std::string body;
    std::map<std::string, std::string> headers; // names in lower case
    std::string header(const std::string& lowerName) const {
        auto it = headers.find(lowerName);
        return it == headers.end() ? std::string() : it->second;
    }
};
using HttpReply = std::optional<HttpResult>; // empty: no answer

class HttpClient {
  public:
    HttpClient(std::string host, int port);
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    void setKeepAlive(bool on) { m_keepAlive = on; }
    // Connect from this local address (127.0.0.2 ... to look like another client).
    void setSourceAddress(std::string address) { m_source = std::move(address); }
    void setTimeoutMs(long ms) { m_timeoutMs = ms; }
    // Sent with every request ("X-Real-IP: 10.0.0.5", as a proxy would).
    void addHeader(std::string line) { m_headers.push_back(std::move(line)); }

    HttpReply get(const std::string& target);
    HttpReply post(const std::string& target, const std::string& body,
                   const std::string& contentType = "application/x-www-form-urlencoded");

  private:
    HttpReply perform(const std::string& target, const std::string* body,
                      const std::string& contentType);

    std::string m_base;
    void* m_curl = nullptr;
    bool m_keepAlive = true;
    std::string m_source;
    long m_timeoutMs = 10000;
    std::vector<std::string> m_headers;
};
