#include "support/fixtures.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <unistd.h>

#include "net/vendor.h"
#include "support/raw_client.h"
#include "thesaurus/keyword_store.h"

TempDir::TempDir() {
    static std::mt19937_64 rng{std::random_device{}()};
    auto base = std::filesystem::temp_directory_path();
    for (;;) {
        auto p = base / ("wyc-test-" + std::to_string(::getpid()) + "-" + std::to_string(rng()));
        if (std::filesystem::create_directory(p)) {
            m_path = p;
            break;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_old = old;
    if (value)
        ::setenv(name, value, 1);
    else
        ::unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
    if (m_old)
        ::setenv(m_name, m_old->c_str(), 1);
    else
        ::unsetenv(m_name);
}

void isolateUserData() {
    static const TempDir dataHome;
    ::setenv("XDG_DATA_HOME", dataHome.str().c_str(), 1);
}

SilentVendor::SilentVendor() {
    // Listening without ever accepting: the system completes the connections
    // (or leaves them waiting) and nothing is ever read or answered.
    int port = 0;
    m_socket = listenOnLoopback(port);
    if (m_socket < 0) throw std::runtime_error("cannot listen on 127.0.0.1");
    ::setenv("no_proxy", "127.0.0.1,localhost", 1);
    vendor::setBaseAddress("http://127.0.0.1:" + std::to_string(port));
}

SilentVendor::~SilentVendor() {
    vendor::setBaseAddress(WYC_DEFAULT_VENDOR_BASE);
    if (m_socket >= 0) ::close(m_socket);
}

ScopedCwd::ScopedCwd(const std::filesystem::path& dir) : m_old(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
}

ScopedCwd::~ScopedCwd() {
    std::error_code ec;
    std::filesystem::current_path(m_old, ec);
}

void makeDatabase(const std::filesystem::path& file, const std::vector<PairSpec>& pairs) {
    auto store = KeywordStore::create(file.string());
    Transaction tx(store->db());
    for (const auto& p : pairs)
        store->append(g(p.ow), g(p.nw), p.isused);
    tx.commit();
}

std::string readFileBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFileBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}
