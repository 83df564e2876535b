#include "server_fixture.h"

#include <unistd.h>

#include <cstdlib>
#include <random>
#include <regex>

#include "net/vendor.h"
#include "protocol/UnitAES.h"
#include "protocol/cipher_gbk.h"
#include "protocol/codepage.h"
#include "server/pg_connection.h"
#include "server/protocol.h"
#include "support/client_targets.h"

namespace {

// The database the PostgreSQL cases use, or "" when there is none.
std::string postgresBase() {
    if (const char* uri = std::getenv("WYC_TEST_POSTGRES"); uri && *uri) return uri;
    // libpq takes host, port, user, password and database from PG* variables.
    if (std::getenv("PGHOST") && std::getenv("PGDATABASE")) return "postgresql://";
    return {};
}

// The schema is also the name the server's connections go by, so that a test
// can find them.
std::string withSearchPath(const std::string& base, const std::string& schema) {
    return base + (base.find('?') == std::string::npos ? "?" : "&") + "options=-csearch_path%3D" +
           schema + "&application_name=" + schema;
}

} // namespace

std::string storeName(const ::testing::TestParamInfo<StoreKind>& info) {
    return info.param == StoreKind::Sqlite ? "Sqlite" : "Postgres";
}

void ServerTest::SetUp() {
    dir = std::make_unique<TempDir>();
    dataFile = (dir->path() / "server.db").string();
    if (GetParam() == StoreKind::Postgres) {
        const std::string base = postgresBase();
        if (base.empty())
            GTEST_SKIP() << "no PostgreSQL (set WYC_TEST_POSTGRES or run under pg_virtualenv)";
        // A schema per test: the tests may run at the same time on one database.
        const std::string schema = "t" + std::to_string(::getpid()) + "_" +
                                   std::to_string(std::random_device{}() & 0xffffff);
        wycserver::PgConnection(base).run("CREATE SCHEMA " + schema);
        postgresUri = withSearchPath(base, schema);
        pgSchema = schema;
    }
    ServerOptions opt = serverOptions();
    adjust(opt);
    server = std::make_unique<wycserver::VendorServer>(opt);
    const int port = server->start();
    client = std::make_unique<HttpClient>("127.0.0.1", port);
}

ServerOptions ServerTest::serverOptions() const {
    ServerOptions opt;
    opt.port = 0;
    opt.dataFile = dataFile;
    opt.databaseUri = postgresUri;
    opt.starterPairs = starterPairs;
    opt.maxBodyBytes = 1 << 20;
    // The tests sign up many accounts from one address.
    opt.signUpsPerHour = 1000;
    return opt;
}

std::unique_ptr<wycserver::Storage> ServerTest::openStore() const {
    wycserver::StoreLocation where;
    where.sqliteFile = dataFile;
    where.postgresUri = postgresUri;
    where.starterPairs = false;
    return wycserver::openStorage(where);
}

void ServerTest::TearDown() {
    client.reset();
    if (server) server->stop();
    server.reset();
    if (!pgSchema.empty())
        wycserver::PgConnection(postgresBase()).run("DROP SCHEMA " + pgSchema + " CASCADE");
    dir.reset();
}

void WindowServerTest::SetUp() {
    ServerTest::SetUp();
    vendor::setBaseAddress("http://127.0.0.1:" + std::to_string(server->port()));
    form = std::make_unique<TForm1>(platform, FormOptions{dir->dirText(), 1});
}

void WindowServerTest::TearDown() {
    form.reset();
    vendor::setBaseAddress(WYC_DEFAULT_VENDOR_BASE);
    ServerTest::TearDown();
}

void WindowServerTest::press(void (TForm1::*click)()) {
    form->run([&] { (form.get()->*click)(); });
    ASSERT_TRUE(platform.waitUntil([this] { return form->Requests.empty(); }));
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
    const std::string answer = getBody(loginTarget(accountGbk, passwordGbk));
    const auto first = answer.find('|'), second = answer.find('|', first + 1);
    if (answer.rfind("ok|", 0) == 0 && second != std::string::npos)
        tokens[answer.substr(first + 1, second - first - 1)] = loginTokenOf(answer);
    return answer;
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
    return getBody(pointsTarget(userId, ow, nw, tokens[userId]));
}

std::string ServerTest::shareRequest(const std::string& userId, const std::string& ow,
                                     const std::string& nw) {
    return getBody(shareTarget(userId, ow, nw, tokens[userId]));
}

void ServerTest::sharePairs(const std::vector<std::pair<std::string, std::string>>& pairs) {
    auto& store = server->storage();
    auto seeder = store.findAccount(std::string("pair-seeder"));
    if (!seeder) seeder = store.createAccount("pair-seeder", "-", "-", "test");
    ASSERT_TRUE(seeder);
    for (const auto& [ow, nw] : pairs) {
        wycserver::ShareRequest share;
        share.userId = seeder->id;
        share.network = "seeder";
        share.ow = ow;
        share.nw = nw;
        share.day = "2000-01-01";
        share.dailyLimit = share.networkDailyLimit = 1'000'000'000;
        std::int64_t balance = 0;
        ASSERT_EQ(store.sharePair(share, balance), wycserver::ShareResult::Accepted) << ow;
    }
}

std::string ServerTest::storeLabel() const {
    return GetParam() == StoreKind::Sqlite ? "SQLite" : "PostgreSQL";
}

std::string ServerTest::pagePlain(const std::string& query) {
    const std::string hex = getBody("/loadtyc.asp" + query);
    TAes aes;
    return cp::utf16ToUtf8(aes.DecryptText(hex, cipher::keyText(), cipher::kKeyBits));
}
