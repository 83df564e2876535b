#include "network.h"

#include <arpa/inet.h>

#include <cstring>

namespace wycserver {

std::string networkOf(const std::string& address) {
    unsigned char raw[16] = {};
    char text[INET6_ADDRSTRLEN] = {};
    if (inet_pton(AF_INET, address.c_str(), raw) == 1) {
        raw[3] = 0;
        inet_ntop(AF_INET, raw, text, sizeof text);
        return std::string(text) + "/24";
    }
    if (inet_pton(AF_INET6, address.c_str(), raw) == 1) {
        static const unsigned char mapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
        if (std::memcmp(raw, mapped, sizeof mapped) == 0) {
            raw[15] = 0;
            inet_ntop(AF_INET, raw + 12, text, sizeof text);
            return std::string(text) + "/24";
        }
        std::memset(raw + 8, 0, 8);
        inet_ntop(AF_INET6, raw, text, sizeof text);
        return std::string(text) + "/64";
    }
    return address;
}

} // namespace wycserver
