#pragma once
// The process's one transfer engine: a libcurl multi loop on a thread of its
// own runs at most TransferLimits::maxTransfers batch exchanges and
// maxVendorTransfers vendor exchanges at once; the others wait their turn in
// their lane, in the order they were started. Internal to the request component.
#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>

#include "net/HTTPGet.h"

namespace net {

// One started exchange: copies of the component's properties taken at start,
// and what the engine found.
struct Transfer {
    // ---- set before submit, read-only afterwards
    std::string url;
    std::string acceptTypes;
    std::string agent;
    std::string userName;
    std::string password;
    std::string postQuery;
    std::string referer;
    std::string stampFile; // FileName + ".ini"
    bool useCache = false;
    bool reportProgress = false;
    Lane lane = Lane::Batch;

    // ---- written by the engine thread; read on the GUI thread after delivery
    std::string body;
    int status = 0;          // HTTP status of the answer that carried the body
    std::string contentType; // its Content-Type header, as sent
    std::int32_t contentLength = 0;
    std::int64_t bytesReceived = 0;
    bool succeeded = false;
    std::string error;  // why it failed, for diagnostics (libcurl's words)
    std::string reason; // why it failed, for the user (see failure_reason.h)

    std::atomic<bool> cancelled{false};

    // Called once, on whichever thread ends the exchange, with the ended
    // transfer; never after detach().
    std::function<void(const std::shared_ptr<Transfer>&)> deliver;
    // Called after each received chunk when reportProgress is set.
    std::function<void(std::int32_t total, std::int32_t received)> progress;

    // Drops delivery and progress for good; after it returns neither runs.
    void detach();
    // Runs deliver (unless detached) and forgets it.
    void finish(const std::shared_ptr<Transfer>& self);
    void notifyProgress();

  private:
    std::mutex m_deliveryMutex;
    bool m_detached = false;
    friend class TransferEngine;
    bool m_queued = false; // guarded by the engine's mutex
    std::list<std::shared_ptr<Transfer>>::iterator m_queuePos;
};

// Queues a transfer; it starts when a slot is free.
void submitTransfer(const std::shared_ptr<Transfer>& transfer);
// Ends a queued or running transfer as failed (delivered unless detached).
void cancelTransfer(const std::shared_ptr<Transfer>& transfer);

} // namespace net
