#include "net/vendor.h"

namespace vendor {
namespace {
std::string& base() {
    static std::string b = WYC_DEFAULT_VENDOR_BASE;
    return b;
}
} // namespace

const std::string& baseAddress() {
    return base();
}

void setBaseAddress(std::string b) {
    while (!b.empty() && b.back() == '/')
        b.pop_back();
    base() = std::move(b);
}

std::string address(const char* path) {
    return base() + path;
}

} // namespace vendor
