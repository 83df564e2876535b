#include "server_fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <regex>

#include "engine/codepage.h"
#include "net/UnitAES.h"
#include "net/cipher_gbk.h"
#include "server/protocol.h"

void ServerTest::SetUp() {
    dir = std::make_unique<TempDir>();
    dataFile = (dir->path() / "server.db").string();
    ServerOptions opt;
    opt.port = 0;
    opt.dataFile = dataFile;
    opt.starterPairs = starterPairs;
    opt.maxBodyBytes = 1 << 20;
    // The tests sign up many accounts from one address.
    opt.signUpsPerHour = 1000;
    adjust(opt);
    server = std::make_unique<wycserver::VendorServer>(opt);
    const int port = server->start();
    client = std::make_unique<HttpClient>("127.0.0.1", port);
}

void ServerTest::TearDown() {
    client.reset();
    if (server) server->stop();
    server.reset();
    dir.reset();
}

HttpReply ServerTest::get(const std::string& target) {
    return client->get(target);
}

std::string ServerTest::getBody(const std::string& target) {
    auto res = get(target);
    EXPECT_TRUE(res) << target;
    return res ? res->body : std::string();
}

HttpReply ServerTest::postForm(const std::string& path, const std::string& body) {
    return client->post(path, body);
}

std::string formEncode(const std::string& bytes) {
    static const char* d = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (std::isalnum(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += d[c >> 4];
            out += d[c & 15];
        }
    }
    return out;
}

std::string recoveryCodeIn(const std::string& html) {
    static const std::regex code("<code class=\"big\">([^<]+)</code>");
    std::smatch m;
    return std::regex_search(html, m, code) ? m[1].str() : std::string();
}

std::string ServerTest::signUp(const std::string& accountUtf8, const std::string& passwordUtf8) {
    auto res = postForm("/register.asp", "account=" + formEncode(accountUtf8) +
                                             "&password=" + formEncode(passwordUtf8) +
                                             "&password2=" + formEncode(passwordUtf8));
    EXPECT_TRUE(res);
    return res ? res->body : std::string();
}

std::string ServerTest::login(const std::string& accountGbk, const std::string& passwordGbk) {
    return getBody("/login_client.asp?qzvemail=" + accountGbk + "&qzvpassword=" + passwordGbk +
                   "&key=" + wycserver::loginKey(accountGbk, passwordGbk));
}

std::string ServerTest::newUser(const std::string& accountUtf8, const std::string& password) {
    signUp(accountUtf8, password);
    const std::string answer = login(cp::utf8ToGbk(accountUtf8), cp::utf8ToGbk(password));
    const auto first = answer.find('|'), second = answer.find('|', first + 1);
    EXPECT_NE(second, std::string::npos) << answer;
    if (second == std::string::npos) return "0";
    return answer.substr(first + 1, second - first - 1);
}

std::string ServerTest::pointsRequest(const std::string& userId, const std::string& ow,
                                      const std::string& nw) {
    const std::string plain = userId + "[@]" + ow + "[@]" + nw + "[@]addword";
    return getBody("/keywords_point.asp?q=" + cipher::encryptGbk(cp::utf8ToGbk(plain)));
}

std::string ServerTest::shareRequest(const std::string& userId, const std::string& ow,
                                     const std::string& nw) {
    return getBody("/sendkeywords.asp?q=" + cipher::encryptGbk(userId) + "|" +
                   cipher::encryptGbk(cp::utf8ToGbk(ow)) + "|" +
                   cipher::encryptGbk(cp::utf8ToGbk(nw)));
}

std::string ServerTest::pagePlain(const std::string& query) {
    const std::string hex = getBody("/loadtyc.asp" + query);
    TAes aes;
    return cp::utf16ToUtf8(aes.DecryptText(hex, cipher::keyText(), cipher::kKeyBits));
}

RawClient::RawClient(int port, const std::string& sourceAddress) {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // A server that stops reading must not leave a test blocked in send().
    timeval limit{5, 0};
    if (m_fd >= 0) ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, sourceAddress.c_str(), &local.sin_addr);
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr);
    if (m_fd >= 0 && (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
                      ::connect(m_fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0)) {
        ::close(m_fd);
        m_fd = -1;
    }
}

RawClient::~RawClient() {
    if (m_fd >= 0) ::close(m_fd);
}

bool RawClient::send(std::string_view bytes) {
    while (m_fd >= 0 && !bytes.empty()) {
        const ssize_t n = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return m_fd >= 0;
}

std::string RawClient::read(int ms) {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (m_fd >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        pollfd p{m_fd, POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) break;
        char buf[4096];
        const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
}

bool RawClient::closedWithin(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (m_fd >= 0 && std::chrono::steady_clock::now() < end) {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        char buf[4096];
        if (::recv(m_fd, buf, sizeof buf, 0) <= 0) return true;
    }
    return false;
}
