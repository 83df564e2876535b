#pragma once
// A vendor server in the test process on a free loopback port, with a fresh
// data file, and the requests the desktop program would send it.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/Unit1.h"
#include "server/vendor_server.h"
#include "support/fixtures.h"
#include "support/http_client.h"
#include "support/raw_client.h"
#include "support/recording_platform.h"

class ServerTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Options of the server SetUp starts: a test group may change them first.
    virtual void adjust(ServerOptions&) {}

    // GET with the target sent byte for byte (no percent-encoding).
    HttpReply get(const std::string& target);
    std::string getBody(const std::string& target);
    HttpReply postForm(const std::string& path, const std::string& body);

    // Signs up through the page; returns the page's HTML.
    std::string signUp(const std::string& accountUtf8, const std::string& passwordUtf8);
    // Login with GBK account and password as the program sends them; the answer.
    std::string login(const std::string& accountGbk, const std::string& passwordGbk);
    // Signs up and logs in; returns the user id.
    std::string newUser(const std::string& accountUtf8, const std::string& password = "secret");

    // The enciphered requests of the program (words as UTF-8).
    std::string pointsRequest(const std::string& userId, const std::string& ow,
                              const std::string& nw);
    std::string shareRequest(const std::string& userId, const std::string& ow,
                             const std::string& nw);
    // A shared thesaurus page, deciphered to UTF-8 ("" for the newest page).
    std::string pagePlain(const std::string& query = "");

    bool starterPairs = false;
    std::unique_ptr<TempDir> dir;
    std::string dataFile;
    std::unique_ptr<wycserver::VendorServer> server;
    std::unique_ptr<HttpClient> client;
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

// Percent-encodes every byte but letters and digits (form bodies).
std::string formEncode(const std::string& bytes);
// The recovery code shown on a sign-up or recovery page, or "".
std::string recoveryCodeIn(const std::string& html);
