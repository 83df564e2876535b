#include "http_client.h"

#include <curl/curl.h>

#include <cctype>

namespace {

size_t onBody(char* data, size_t size, size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    const std::string line(data, size * count);
    const auto colon = line.find(':');
    if (colon != std::string::npos) {
        std::string name = line.substr(0, colon);
        for (auto& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::string value = line.substr(colon + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
            value.erase(0, 1);
        while (!value.empty() && (value.back() == '\r' || value.back() == '\n'))
            value.pop_back();
        static_cast<HttpResult*>(user)->headers[name] = value;
    }
    return size * count;
}

} // namespace

HttpClient::HttpClient(std::string host, int port)
    : m_base("http://" + host + ":" + std::to_string(port)), m_curl(curl_easy_init()) {}

HttpClient::~HttpClient() {
    curl_easy_cleanup(static_cast<CURL*>(m_curl));
}

HttpReply HttpClient::get(const std::string& target) {
    return perform(target, nullptr, {});
}

HttpReply HttpClient::post(const std::string& target, const std::string& body,
                           const std::string& contentType) {
    return perform(target, &body, contentType);
}

HttpReply HttpClient::perform(const std::string& target, const std::string* body,
                              const std::string& contentType) {
    auto* curl = static_cast<CURL*>(m_curl);
    curl_easy_reset(curl);
    HttpResult result;
    const std::string url = m_base + target;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, m_timeoutMs);
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, m_keepAlive ? 0L : 1L);
    if (!m_source.empty()) curl_easy_setopt(curl, CURLOPT_INTERFACE, m_source.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &result.body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &result);
    curl_slist* headers = nullptr;
    for (const auto& line : m_headers)
        headers = curl_slist_append(headers, line.c_str());
    if (body) {
        headers = curl_slist_append(headers, ("Content-Type: " + contentType).c_str());
        headers = curl_slist_append(headers, "Expect:");
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body->data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
    }
    if (headers) curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    const CURLcode rc = curl_easy_perform(curl);
    curl_slist_free_all(headers);
    if (rc != CURLE_OK) return std::nullopt;
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    result.status = static_cast<int>(status);
    return result;
}
