#include "protocol/iconv_cache.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace cp {

iconv_t iconvFor(const char* to, const char* from) {
    struct Entry {
        std::string to, from;
        iconv_t cd;
    };
    struct Cache {
        std::vector<Entry> entries;
        ~Cache() {
            for (auto& e : entries)
                iconv_close(e.cd);
        }
    };
    thread_local Cache cache;
    for (auto& e : cache.entries) {
        if (e.to == to && e.from == from) {
            iconv(e.cd, nullptr, nullptr, nullptr, nullptr);
            return e.cd;
        }
    }
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error(std::string("no converter from ") + from + " to " + to);
    cache.entries.push_back({to, from, cd});
    return cd;
}

} // namespace cp
