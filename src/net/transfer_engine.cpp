#include "net/transfer_engine.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <curl/curl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/files.h"
#include "net/HTTPGet.h"
#include "net/failure_reason.h"

namespace net {

namespace {

std::mutex g_limitsMutex;
TransferLimits g_limits;

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() &&
           (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

// The address curl is given for the split parts, or nothing when the host or
// port cannot name a server (such a request fails like an unreachable host).
// The path goes out byte for byte, except that blanks, control bytes and "#"
// (which cannot stand in a request line or would cut the address short) are
// percent-encoded.
std::optional<std::string> curlAddressOf(const AddressParts& parts) {
    if (parts.host.empty() || parts.port < 1 || parts.port > 65535) return std::nullopt;
    for (unsigned char c : parts.host)
        if (!std::isalnum(c) && c != '.' && c != '-' && c != '_') return std::nullopt;
    std::string out = parts.tls ? "https://" : "http://";
    out += parts.host;
    out += ':';
    out += std::to_string(parts.port);
    static const char hex[] = "0123456789ABCDEF";
    for (unsigned char c : parts.path) {
        if (c <= 0x20 || c == 0x7F || c == '#') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// Replaces the stamp file with the Last-Modified value; failures are ignored.
void writeStamp(const std::string& stampFile, const std::string& value) {
    try {
        std::string path = fsPath(stampFile);
        std::error_code ec;
        std::filesystem::remove(path, ec);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << value << "\r\n";
    } catch (...) {
    }
}

// Engine-thread state of one running transfer.
struct Active {
    std::shared_ptr<Transfer> transfer;
    curl_slist* headers = nullptr;
    int status = 0;
    bool hasLocation = false;
    std::string lastModified;
    std::int64_t maxAnswerBytes = 0;
    bool tooLarge = false;
    char errorText[CURL_ERROR_SIZE] = {};
};

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto* a = static_cast<Active*>(user);
    size_t n = size * count;
    std::string_view line = trim(std::string_view(data, n));
    if (line.substr(0, 5) == "HTTP/") {
        // A new response begins (an interim one, or the target of a redirect).
        a->status = 0;
        auto sp = line.find(' ');
        if (sp != std::string_view::npos) {
            for (size_t i = sp + 1;
                 i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])); ++i)
                a->status = a->status * 10 + (line[i] - '0');
        }
        a->hasLocation = false;
        a->lastModified.clear();
        a->transfer->contentLength = 0;
        a->transfer->contentType.clear();
    } else if (line.empty()) {
        // End of a header block: the response that carries the body is the one
        // after the interim answers and the redirects that are followed.
        bool redirect =
            a->hasLocation && (a->status == 301 || a->status == 302 || a->status == 303 ||
                               a->status == 307 || a->status == 308);
        if (a->status >= 200 && !redirect && !a->lastModified.empty())
            writeStamp(a->transfer->stampFile, a->lastModified);
    } else if (auto colon = line.find(':'); colon != std::string_view::npos) {
        std::string_view name = trim(line.substr(0, colon));
        std::string_view value = trim(line.substr(colon + 1));
        if (equalsNoCase(name, "Last-Modified")) {
            a->lastModified.assign(value);
        } else if (equalsNoCase(name, "Content-Type")) {
            a->transfer->contentType.assign(value.substr(0, 256));
        } else if (equalsNoCase(name, "Location")) {
            a->hasLocation = !value.empty();
        } else if (equalsNoCase(name, "Content-Length")) {
            std::int64_t v = 0;
            for (char c : value) {
                if (!std::isdigit(static_cast<unsigned char>(c))) break;
                v = std::min<std::int64_t>(v * 10 + (c - '0'), INT64_MAX / 16);
            }
            a->transfer->contentLength =
                static_cast<std::int32_t>(std::min<std::int64_t>(v, INT32_MAX));
            // An answer announced larger than the cap is refused before its
            // body; one within it gets its memory at once instead of by doubling.
            // (The body of a redirect that is followed is never kept.)
            const bool redirect = a->status >= 300 && a->status < 400;
            if (!redirect && a->status >= 200) {
                if (v > a->maxAnswerBytes) {
                    a->tooLarge = true;
                    return 0;
                }
                a->transfer->body.reserve(static_cast<size_t>(v));
            }
        }
    }
    return n;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* a = static_cast<Active*>(user);
    Transfer& t = *a->transfer;
    if (t.cancelled) return 0; // aborts the transfer
    size_t n = size * count;
    // Answers without a length are cut off at the cap: never held whole.
    if (static_cast<std::int64_t>(t.body.size() + n) > a->maxAnswerBytes) {
        a->tooLarge = true;
        return 0;
    }
    t.body.append(data, n);
    t.bytesReceived += static_cast<std::int64_t>(n);
    if (t.reportProgress) t.notifyProgress();
    return n;
}

} // namespace

void setTransferLimits(const TransferLimits& limits) {
    std::lock_guard<std::mutex> lock(g_limitsMutex);
    g_limits = limits;
}

TransferLimits transferLimits() {
    std::lock_guard<std::mutex> lock(g_limitsMutex);
    return g_limits;
}

void Transfer::detach() {
    std::lock_guard<std::mutex> lock(m_deliveryMutex);
    m_detached = true;
    deliver = nullptr;
    progress = nullptr;
}

void Transfer::finish(const std::shared_ptr<Transfer>& self) {
    std::lock_guard<std::mutex> lock(m_deliveryMutex);
    auto fn = std::move(deliver);
    deliver = nullptr;
    progress = nullptr;
    if (!m_detached && fn) fn(self);
}

void Transfer::notifyProgress() {
    std::lock_guard<std::mutex> lock(m_deliveryMutex);
    if (m_detached || !progress) return;
    auto received = static_cast<std::int32_t>(std::min<std::int64_t>(bytesReceived, INT32_MAX));
    progress(contentLength, received);
}

class TransferEngine {
  public:
    static TransferEngine& instance() {
        static TransferEngine engine;
        return engine;
    }

    void submit(const std::shared_ptr<Transfer>& t) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            auto& queue = m_waiting[laneIndex(t->lane)];
            queue.push_back(t);
            t->m_queued = true;
            t->m_queuePos = std::prev(queue.end());
        }
        curl_multi_wakeup(m_multi);
    }

    void cancel(const std::shared_ptr<Transfer>& t) {
        t->cancelled = true;
        bool wasWaiting = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (t->m_queued) {
                m_waiting[laneIndex(t->lane)].erase(t->m_queuePos);
                t->m_queued = false;
                wasWaiting = true;
            }
        }
        if (wasWaiting) {
            t->succeeded = false;
            t->error = "cancelled";
            t->reason = failureReason(Failure::Cancelled);
            t->finish(t);
        } else {
            curl_multi_wakeup(m_multi);
        }
    }

    ~TransferEngine() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        curl_multi_wakeup(m_multi);
        if (m_thread.joinable()) m_thread.join();
        curl_multi_cleanup(m_multi);
    }

  private:
    TransferEngine() {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        m_multi = curl_multi_init();
        m_thread = std::thread([this] { loop(); });
    }

    void loop() {
        std::vector<std::shared_ptr<Transfer>> starting;
        for (;;) {
            starting.clear();
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_stopping) break;
                const TransferLimits limits = transferLimits();
                const int slots[2] = {std::max(1, limits.maxTransfers),
                                      std::max(1, limits.maxVendorTransfers)};
                for (int lane = 0; lane < 2; ++lane) {
                    auto& queue = m_waiting[lane];
                    for (int free = slots[lane] - m_running[lane]; free > 0 && !queue.empty();
                         --free) {
                        starting.push_back(std::move(queue.front()));
                        queue.pop_front();
                        starting.back()->m_queued = false;
                    }
                }
            }
            for (auto& t : starting)
                begin(t);

            std::vector<CURL*> cancelled;
            for (auto& [easy, a] : m_active)
                if (a->transfer->cancelled) cancelled.push_back(easy);
            for (CURL* easy : cancelled)
                end(easy, CURLE_ABORTED_BY_CALLBACK);

            int running = 0;
            curl_multi_perform(m_multi, &running);
            bool ended = !cancelled.empty();
            int left = 0;
            while (CURLMsg* msg = curl_multi_info_read(m_multi, &left)) {
                if (msg->msg != CURLMSG_DONE) continue;
                CURL* easy = msg->easy_handle;
                CURLcode result = msg->data.result;
                end(easy, result);
                ended = true;
            }
            // A freed slot starts the next waiting transfer without delay.
            if (ended) continue;
            curl_multi_poll(m_multi, nullptr, 0, 1000, nullptr);
        }
        // Shutting down: nothing more is delivered.
        for (auto& [easy, a] : m_active) {
            a->transfer->detach();
            curl_multi_remove_handle(m_multi, easy);
            curl_easy_cleanup(easy);
            curl_slist_free_all(a->headers);
        }
        m_active.clear();
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& queue : m_waiting) {
            for (auto& t : queue)
                t->detach();
            queue.clear();
        }
    }

    void begin(const std::shared_ptr<Transfer>& t) {
        auto address = curlAddressOf(splitAddress(t->url));
        CURL* easy = address ? curl_easy_init() : nullptr;
        if (!easy) {
            t->succeeded = false;
            t->error = address ? "cannot create a transfer" : "address names no server";
            t->reason = failureReason(address ? Failure::NotStarted : Failure::NoAddress);
            t->finish(t);
            return;
        }
        auto a = std::make_unique<Active>();
        a->transfer = t;
        TransferLimits limits = transferLimits();
        a->maxAnswerBytes = limits.maxAnswerBytes;
        const bool tls = address->rfind("https://", 0) == 0;

        a->headers = curl_slist_append(
            a->headers, t->acceptTypes.empty() ? "Accept:" : ("Accept: " + t->acceptTypes).c_str());
        if (!t->useCache) {
            a->headers = curl_slist_append(a->headers, "Cache-Control: no-cache");
            a->headers = curl_slist_append(a->headers, "Pragma: no-cache");
        }
        if (!t->postQuery.empty()) {
            a->headers =
                curl_slist_append(a->headers, "Content-Type: application/x-www-form-urlencoded");
            a->headers = curl_slist_append(a->headers, "Expect:");
        }

        curl_easy_setopt(easy, CURLOPT_URL, address->c_str());
        curl_easy_setopt(easy, CURLOPT_PRIVATE, a.get());
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        // A redirect may go up from http to https, never down.
        curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, tls ? "https" : "http,https");
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
        curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
        curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, limits.idleTimeoutSec);
        // A server that drips a byte now and then is no longer idle: the
        // overall deadline ends it.
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, limits.overallTimeoutSec * 1000L);
        // Certificates are always checked (curl's default, stated here on purpose).
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!limits.trustedCertificates.empty())
            curl_easy_setopt(easy, CURLOPT_CAINFO, limits.trustedCertificates.c_str());
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, a->headers);
        if (!t->agent.empty()) curl_easy_setopt(easy, CURLOPT_USERAGENT, t->agent.c_str());
        if (!t->referer.empty()) curl_easy_setopt(easy, CURLOPT_REFERER, t->referer.c_str());
        if (!t->userName.empty()) curl_easy_setopt(easy, CURLOPT_USERNAME, t->userName.c_str());
        if (!t->password.empty()) curl_easy_setopt(easy, CURLOPT_PASSWORD, t->password.c_str());
        if (!t->postQuery.empty()) {
            curl_easy_setopt(easy, CURLOPT_POST, 1L);
            curl_easy_setopt(easy, CURLOPT_POSTFIELDS, t->postQuery.data());
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(t->postQuery.size()));
        }
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &onHeader);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, a.get());
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &onBody);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, a.get());
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, a->errorText);

        m_active.emplace(easy, std::move(a));
        ++m_running[laneIndex(t->lane)];
        curl_multi_add_handle(m_multi, easy);
    }

    void end(CURL* easy, CURLcode result) {
        auto node = m_active.extract(easy);
        if (node.empty()) return;
        Active& a = *node.mapped();
        curl_multi_remove_handle(m_multi, easy);
        curl_easy_cleanup(easy);
        curl_slist_free_all(a.headers);
        a.headers = nullptr;
        auto t = a.transfer;
        --m_running[laneIndex(t->lane)];
        if (a.tooLarge) t->error = "answer larger than the limit";
        t->status = a.status;
        // Only a completed exchange with a body counts: a time-out, a dropped
        // connection or a cancellation fails even after part of a body came in.
        t->succeeded = result == CURLE_OK && !t->cancelled && !t->body.empty();
        if (result != CURLE_OK && t->error.empty())
            t->error = a.errorText[0] ? a.errorText : curl_easy_strerror(result);
        if (!t->succeeded) {
            t->reason = a.tooLarge           ? failureReason(Failure::TooLarge)
                        : t->cancelled       ? failureReason(Failure::Cancelled)
                        : result != CURLE_OK ? failureReason(Failure::Curl, result)
                                             : failureReason(Failure::Empty);
            std::string().swap(t->body); // nobody reads it
        }

        t->finish(t);
    }

    std::mutex m_mutex;
    static int laneIndex(Lane lane) { return lane == Lane::Vendor ? 1 : 0; }

    std::list<std::shared_ptr<Transfer>> m_waiting[2]; // by lane; guarded by m_mutex
    int m_running[2] = {0, 0};                         // by lane; engine thread only
    bool m_stopping = false;                           // guarded by m_mutex
    CURLM* m_multi = nullptr;
    std::map<CURL*, std::unique_ptr<Active>> m_active; // engine thread only
    std::thread m_thread;
};

void submitTransfer(const std::shared_ptr<Transfer>& transfer) {
    TransferEngine::instance().submit(transfer);
}

void cancelTransfer(const std::shared_ptr<Transfer>& transfer) {
    TransferEngine::instance().cancel(transfer);
}

} // namespace net
