#pragma once
// The request component: one HTTP GET or POST per start, run off the GUI
// thread by the shared transfer engine. The whole response body comes back as
// one text through OnDoneString when it is non-empty (whatever the HTTP status),
// otherwise OnError is raised; both run on the GUI thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/event_loop.h"

namespace net {

// Host, path and port of a request address.
struct AddressParts {
    std::string host;
    std::string path = "/"; // from the first "/" on, query included
    int port = 80;
    bool tls = false; // the address began with "https://"
};

// Splits a request address: a leading "http://" (any letter case) is removed,
// or "https://", which selects TLS and the default port 443; no other scheme is
// recognised. The host part is the text before the first "/", the path the rest
// ("/" when there is no "/"). A ":" in the host part separates the port text,
// read as a decimal number; a port text that is not a number gives the default.
AddressParts splitAddress(const std::string& url);

// Limits shared by every transfer of the process.
struct TransferLimits {
    int maxTransfers = 16;         // batch transfers running at once; the rest wait in order
    long connectTimeoutMs = 30000; // connecting longer than this fails the transfer
    long idleTimeoutSec = 60;      // receiving nothing for this long fails it
    long overallTimeoutSec = 300;  // a transfer not done after this long fails
    std::int64_t maxAnswerBytes = std::int64_t{64} << 20; // a larger answer fails the transfer
    int maxVendorTransfers = 4; // vendor transfers running at once, besides the batch ones
    // A file of certificate authorities trusted instead of the system's (empty:
    // the system's); tests trust their own.
    std::string trustedCertificates;
};

// Transfers wait their turn in one of two lanes, each with slots of its own,
// so that a request to the vendor server (a login, a page) never waits behind
// the fetches of a batch run.
enum class Lane { Batch, Vendor };
void setTransferLimits(const TransferLimits& limits);
TransferLimits transferLimits();

// How a component reaches the GUI thread: hand it a completion (callable from
// any thread) and let it run pending events and completions.
struct GuiLink {
    std::function<void(std::function<void()>)> postToGui;
    std::function<void()> processEvents;
};
GuiLink guiLinkOf(EventLoop& loop);

struct Transfer;

} // namespace net

class THTTPGet {
  public:
    using TOnDoneStringEvent = std::function<void(THTTPGet* sender, const std::string& result)>;
    using TNotifyEvent = std::function<void(THTTPGet* sender)>;
    using TOnProgressEvent =
        std::function<void(THTTPGet* sender, std::int32_t totalSize, std::int32_t readed)>;

    static constexpr const char* kDefaultAgent = "wyc-http/2.0";

    explicit THTTPGet(net::EventLoop& loop);
    explicit THTTPGet(net::GuiLink gui);
    // Cancels a running exchange; its completion is dropped and never reaches
    // this object.
    virtual ~THTTPGet();
    THTTPGet(const THTTPGet&) = delete;
    THTTPGet& operator=(const THTTPGet&) = delete;

    std::string AcceptTypes = "*/*";
    std::string Agent = kDefaultAgent; // no user-agent header when empty
    bool BinaryData = false;           // resume variant: accepted, never used
    std::string URL;
    bool UseCache = false; // false: ask every cache on the way for a fresh copy
    std::string FileName;  // stamp file: FileName + ".ini" in the working directory
    std::string UserName;
    std::string Password;
    std::string PostQuery; // empty: GET; otherwise POST with exactly these bytes
    std::string Referer;
    bool WaitThread = false;
    net::Lane RequestLane = net::Lane::Batch;
    TOnProgressEvent OnProgress; // sender is this component
    // What the last exchange found, readable in its completion handlers: the
    // HTTP status of the answer (0 when none came), its Content-Type, and why
    // it failed (ErrorText for diagnostics, ErrorReason in Chinese for the user).
    int ResponseStatus = 0;
    std::string ContentType;
    std::string ErrorText;
    std::string ErrorReason;
    TOnDoneStringEvent OnDoneString;
    TNotifyEvent OnError;

    // Starts an exchange with the current properties unless one is running,
    // then lets pending events and completions run. Returns without waiting;
    // the object may already be released by its own completion on return.
    // Throws when the exchange cannot be started (the object is then idle).
    void Start();
    // Stops the running exchange; OnError follows. Does nothing when idle.
    void Cancel();
    bool running() const { return FWorker != nullptr; }

  private:
    void FinishRequest(const std::shared_ptr<net::Transfer>& worker);

    net::GuiLink m_gui;
    std::shared_ptr<net::Transfer> FWorker;
    // Cleared when the object is destroyed; completions already posted check it.
    std::shared_ptr<std::atomic<bool>> m_alive = std::make_shared<std::atomic<bool>>(true);
};

class Tmyhttpget : public THTTPGet {
  public:
    using THTTPGet::THTTPGet;
    // Which flow the response belongs to: the name of a net::RequestKind.
    std::string FRequestKind;
    std::int32_t FListIndex = 0; // download-list line of a batch fetch
};
