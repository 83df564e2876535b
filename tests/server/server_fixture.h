#pragma once
// A vendor server in the test process on a free loopback port, with a fresh
// store, and the requests the desktop program would send it. The fixture takes
// the kind of store as its parameter: a SQLite file, or a schema of its own in
// the PostgreSQL database named by WYC_TEST_POSTGRES (a libpq URI) or by the
// PG* variables that pg_virtualenv sets. Without either, the PostgreSQL cases
// are skipped.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/Unit1.h"
#include "server/storage.h"
#include "server/vendor_server.h"
#include "support/fixtures.h"
#include "support/http_client.h"
#include "support/raw_client.h"
#include "support/recording_platform.h"

enum class StoreKind { Sqlite, Postgres };
std::string storeName(const ::testing::TestParamInfo<StoreKind>& info);
inline void PrintTo(StoreKind kind, std::ostream* os) {
    *os << (kind == StoreKind::Sqlite ? "SQLite" : "PostgreSQL");
}

class ServerTest : public ::testing::TestWithParam<StoreKind> {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Options of the server SetUp starts: a test group may change them first.
    virtual void adjust(ServerOptions&) {}
    // Options for another server over the same store (a second instance, or
    // the same one restarted).
    ServerOptions serverOptions() const;
    // A second connection to the store, as another instance would open it.
    std::unique_ptr<wycserver::Storage> openStore() const;

    // GET with the target sent byte for byte (no percent-encoding).
    HttpReply get(const std::string& target);
    std::string getBody(const std::string& target);
    HttpReply postForm(const std::string& path, const std::string& body);

    // Signs up through the page; returns the page's HTML.
    std::string signUp(const std::string& accountUtf8, const std::string& passwordUtf8);
    // Login with GBK account and password as the program sends them; the
    // answer. The token of an accepted one is kept for the user id.
    std::string login(const std::string& accountGbk, const std::string& passwordGbk);
    // Signs up and logs in; returns the user id.
    std::string newUser(const std::string& accountUtf8, const std::string& password = "secret");

    // The enciphered requests of the program (words as UTF-8), with the token
    // of the user id's last login, as the program sends them.
    std::string pointsRequest(const std::string& userId, const std::string& ow,
                              const std::string& nw);
    std::string shareRequest(const std::string& userId, const std::string& ow,
                             const std::string& nw);
    // Puts pairs into the shared thesaurus (shared by an account of their own),
    // so that downloading them costs points.
    void sharePairs(const std::vector<std::pair<std::string, std::string>>& pairs);
    // The kind of store, by name ("SQLite" or "PostgreSQL"), for messages.
    std::string storeLabel() const;
    // A shared thesaurus page, deciphered to UTF-8 ("" for the newest page).
    std::string pagePlain(const std::string& query = "");

    bool starterPairs = false;
    std::unique_ptr<TempDir> dir;
    std::string dataFile;
    std::string postgresUri; // the test's own schema; empty for SQLite
    std::string pgSchema;
    std::unique_ptr<wycserver::VendorServer> server;
    std::unique_ptr<HttpClient> client;
    std::map<std::string, std::string> tokens; // user id -> login token
};

// A main window whose vendor server is the test's server.
class WindowServerTest : public ServerTest {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Runs a command as the window does, then waits until its requests are answered.
    void press(void (TForm1::*click)());

    RecordingPlatform platform;
    std::unique_ptr<TForm1> form;
};

// Runs a parameterised suite on both stores, or on SQLite alone (cases about
// the transport, which the store does not change), or on PostgreSQL alone.
#define WYC_ON_BOTH_STORES(Suite)                                                                  \
    INSTANTIATE_TEST_SUITE_P(Store, Suite,                                                         \
                             ::testing::Values(StoreKind::Sqlite, StoreKind::Postgres), storeName)
#define WYC_ON_SQLITE(Suite)                                                                       \
    INSTANTIATE_TEST_SUITE_P(Store, Suite, ::testing::Values(StoreKind::Sqlite), storeName)
#define WYC_ON_POSTGRES(Suite)                                                                     \
    INSTANTIATE_TEST_SUITE_P(Store, Suite, ::testing::Values(StoreKind::Postgres), storeName)

// Percent-encodes every byte but letters and digits (form bodies).
std::string formEncode(const std::string& bytes);
// The recovery code shown on a sign-up or recovery page, or "".
std::string recoveryCodeIn(const std::string& html);
