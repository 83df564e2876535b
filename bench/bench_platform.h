#pragma once
// A Platform for benchmark programs: no window, completions run at once, every
// dialog answered, failures printed and counted.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

#include "app/platform.h"
#include "protocol/codepage.h"

class BenchPlatform : public Platform {
  public:
    void processEvents() override { ++events; }
    void postToGui(std::function<void()> fn) override { fn(); }
    void showMessage(const std::string& t) override {
        std::printf("message: %s\n", cp::gbkToUtf8(t).c_str());
    }
    // An error box is a failure of the run, whatever else it did.
    void showError(const std::string& t) override {
        std::printf("error: %s\n", cp::gbkToUtf8(t).c_str());
        ++errors;
    }
    bool confirm(const std::string&) override { return true; }
    std::optional<std::string> saveFile(const std::string&, const std::string&,
                                        const std::string&) override {
        return {};
    }
    std::optional<std::string> openFile(const std::string&, const std::string&,
                                        const std::string&) override {
        return {};
    }
    std::optional<std::string> selectDirectory(const std::string&, const std::string&) override {
        return {};
    }
    void setClipboardText(const std::string&) override {}
    void shellOpen(const std::string&) override {}
    void terminate(int code) override { std::exit(code); }
    long events = 0;
    int errors = 0; // error boxes shown
};
