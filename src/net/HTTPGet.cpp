#include "net/HTTPGet.h"

#include <cctype>
#include <optional>

#include "net/transfer_engine.h"

namespace net {

namespace {
bool startsWithNoCase(const std::string& text, const char* prefix) {
    size_t i = 0;
    for (; prefix[i]; ++i) {
        if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) !=
                                    static_cast<unsigned char>(prefix[i]))
            return false;
    }
    return true;
}

// A port text as a decimal number; nothing when it is empty or not a number.
std::optional<int> portOf(const std::string& text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}
} // namespace

AddressParts splitAddress(const std::string& url) {
    AddressParts parts;
    std::string rest = url;
    if (startsWithNoCase(rest, "http://")) {
        rest.erase(0, 7);
    } else if (startsWithNoCase(rest, "https://")) {
        rest.erase(0, 8);
        parts.tls = true;
    }
    std::string hostPart;
    auto slash = rest.find('/');
    if (slash == std::string::npos) {
        hostPart = rest; // the path stays "/"
    } else {
        hostPart = rest.substr(0, slash);
        parts.path = rest.substr(slash);
    }
    const int defaultPort = parts.tls ? 443 : 80;
    auto colon = hostPart.find(':');
    if (colon == std::string::npos) {
        parts.host = hostPart;
        parts.port = defaultPort;
    } else {
        parts.host = hostPart.substr(0, colon);
        parts.port = portOf(hostPart.substr(colon + 1)).value_or(defaultPort);
    }
    return parts;
}

GuiLink guiLinkOf(EventLoop& loop) {
    return {[&loop](std::function<void()> fn) { loop.postToGui(std::move(fn)); },
            [&loop] { loop.processEvents(); }};
}

} // namespace net

THTTPGet::THTTPGet(net::EventLoop& loop) : m_gui(net::guiLinkOf(loop)) {}

THTTPGet::THTTPGet(net::GuiLink gui) : m_gui(std::move(gui)) {}

THTTPGet::~THTTPGet() {
    *m_alive = false;
    if (FWorker) {
        FWorker->detach();
        net::cancelTransfer(FWorker);
    }
}

void THTTPGet::Start() {
    if (!FWorker) {
        auto t = std::make_shared<net::Transfer>();
        t->url = URL;
        t->acceptTypes = AcceptTypes;
        t->agent = Agent;
        t->userName = UserName;
        t->password = Password;
        t->postQuery = PostQuery;
        t->referer = Referer;
        t->stampFile = FileName + ".ini";
        t->useCache = UseCache;
        t->reportProgress = static_cast<bool>(OnProgress);
        t->lane = RequestLane;

        auto post = m_gui.postToGui;
        auto alive = m_alive;
        THTTPGet* self = this;
        t->deliver = [post, alive, self](const std::shared_ptr<net::Transfer>& done) {
            post([alive, self, done] {
                if (*alive) self->FinishRequest(done);
            });
        };
        if (t->reportProgress) {
            t->progress = [post, alive, self](std::int32_t total, std::int32_t received) {
                post([alive, self, total, received] {
                    if (!*alive || !self->OnProgress) return;
                    auto handler = self->OnProgress;
                    handler(self, total, received);
                });
            };
        }
        FWorker = t;
        try {
            net::submitTransfer(t);
        } catch (...) {
            // Not started: the object stays idle and its owner hears of it.
            FWorker.reset();
            throw;
        }
    }
    // Both with and without WaitThread the caller's pending events run now.
    // This object may be released by its own completion in there, so nothing
    // of it is touched afterwards.
    auto processEvents = m_gui.processEvents;
    if (processEvents) processEvents();
}

void THTTPGet::Cancel() {
    if (FWorker) net::cancelTransfer(FWorker);
}

void THTTPGet::FinishRequest(const std::shared_ptr<net::Transfer>& worker) {
    if (FWorker != worker) return;
    FWorker.reset();
    ResponseStatus = worker->status;
    ContentType = worker->contentType;
    ErrorText = worker->error;
    ErrorReason = worker->reason;
    // The handler may release this object; it runs from a copy, and nothing of
    // the object is touched after it.
    if (worker->succeeded) {
        if (OnDoneString) {
            auto handler = OnDoneString;
            handler(this, worker->body);
        }
    } else if (OnError) {
        auto handler = OnError;
        handler(this);
    }
}
