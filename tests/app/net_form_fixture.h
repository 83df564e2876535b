#pragma once
// A main window talking to a recording server on the loopback interface.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "app/Unit1.h"
#include "net/vendor.h"
#include "net/HTTPGet.h"
#include "net/loopback_server.h"
#include "support/fixtures.h"
#include "support/recording_platform.h"

// Runs a hook when the generic error box is shown, to see the state then.
class ErrorWatchPlatform : public RecordingPlatform {
  public:
    void showError(const std::string& text) override {
        if (onError) onError();
        RecordingPlatform::showError(text);
    }
    std::function<void()> onError;
};

class NetFormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        net::setTransferLimits({16, 2000, 2});
        vendor::setBaseAddress(server.base());
        form = std::make_unique<TForm1>(platform, FormOptions{dir.dirText(), 1});
    }
    void TearDown() override {
        form.reset();
        vendor::setBaseAddress(WYC_DEFAULT_VENDOR_BASE);
        net::setTransferLimits({});
    }
    // Waits until every request of the window has been released.
    bool settle() {
        return platform.waitUntil([this] { return form->Requests.empty(); });
    }
    // Lets completions run for a while (to see that nothing arrives).
    void pump(int ms) {
        platform.waitUntil([] { return false; }, ms);
    }
    std::string url(const std::string& path) const { return server.base() + path; }

    TempDir dir;
    LoopbackServer server;
    ErrorWatchPlatform platform;
    std::unique_ptr<TForm1> form;
};
