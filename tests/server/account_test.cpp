// Sign-up, login with the key digest, password recovery and how passwords are kept.
#include <sys/stat.h>

#include "protocol/MD5.h"
#include "protocol/codepage.h"
#include "server/abuse_limits.h"
#include "server/passwords.h"
#include "server/protocol.h"
#include "server/sqlite_storage.h"
#include "server_fixture.h"

namespace {

// The program converts answers to GBK before it looks for "|".
bool isRefusal(const std::string& answer) {
    return !answer.empty() && cp::utf8ToGbk(answer).find('|') == std::string::npos;
}

// A login answer without its token: "ok|id|points".
std::string withoutToken(const std::string& answer) {
    return answer.substr(0, answer.rfind('|'));
}

TEST(ServerProtocol, LoginKeyIsTheDigestOfAccountPasswordDigestAndSalt) {
    // MD5Hex("b") = 92eb5ffee6ae2fec3ad71c777531578f (RFC 1321 digest of "b").
    EXPECT_EQ(wycserver::loginKey("a", "b"),
              MD5Hex("a92eb5ffee6ae2fec3ad71c777531578fpantile_morsund"));
}

TEST(ServerProtocol, LoginQueryKeepsAmpersandsInAccountAndPassword) {
    auto q = wycserver::parseLoginQuery("qzvemail=a&b&qzvpassword=p&key=x&key=K");
    ASSERT_TRUE(q);
    EXPECT_EQ(q->account, "a&b");
    EXPECT_EQ(q->password, "p&key=x");
    EXPECT_EQ(q->key, "K");
    EXPECT_FALSE(wycserver::parseLoginQuery("qzvpassword=p&key=K"));
    EXPECT_FALSE(wycserver::parseLoginQuery("qzvemail=a&key=K"));
    EXPECT_FALSE(wycserver::parseLoginQuery("qzvemail=a&qzvpassword=p"));
}

class AccountTest : public ServerTest {};

TEST_P(AccountTest, NewAccountStartsWithHundredPoints) {
    const std::string page = signUp("alice", "pw1");
    EXPECT_NE(page.find("注册成功"), std::string::npos);
    EXPECT_NE(recoveryCodeIn(page), "");
    const std::string answer = withoutToken(login("alice", "pw1"));
    EXPECT_EQ(answer.substr(0, 3), "ok|");
    EXPECT_EQ(answer.substr(answer.rfind('|')), "|100");
    // User ids never collide with the program's "9" (not logged in) or "0" (refused).
    EXPECT_GE(std::stoll(newUser("bob")), 10001);
}

TEST_P(AccountTest, LoginIsRefusedWithAMessageWithoutBar) {
    signUp("carol", "right");
    EXPECT_TRUE(isRefusal(login("carol", "wrong")));
    EXPECT_TRUE(isRefusal(login("nobody", "right")));
    EXPECT_TRUE(isRefusal(login("", "")));
    // A key that does not match the account and password.
    const std::string badKey = getBody("/login_client.asp?qzvemail=carol&qzvpassword=right&key=" +
                                       wycserver::loginKey("carol", "other"));
    EXPECT_TRUE(isRefusal(badKey));
    EXPECT_NE(badKey.find("校验码"), std::string::npos);
    // The key's digits may come in upper case.
    std::string upper = wycserver::loginKey("carol", "right");
    for (auto& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(
        getBody("/login_client.asp?qzvemail=carol&qzvpassword=right&key=" + upper).substr(0, 3),
        "ok|");
}

TEST_P(AccountTest, ChineseAccountLogsInWithGbkBytesAsTheProgramSendsThem) {
    const std::string id = newUser("测试用户", "密码abc");
    EXPECT_NE(id, "0");
    EXPECT_EQ(withoutToken(login(g("测试用户"), g("密码abc"))), "ok|" + id + "|100");
    // A client that sends UTF-8 (and computes the key over it) is understood too.
    EXPECT_EQ(withoutToken(login("测试用户", "密码abc")), "ok|" + id + "|100");
    // A client that percent-encodes the GBK bytes, with the key over the plain text.
    const std::string account = g("测试用户"), password = g("密码abc");
    EXPECT_EQ(withoutToken(getBody("/login_client.asp?qzvemail=" + formEncode(account) +
                                   "&qzvpassword=" + formEncode(password) +
                                   "&key=" + wycserver::loginKey(account, password))),
              "ok|" + id + "|100");
}

TEST_P(AccountTest, PasswordsWithQuerySymbolsTravelUnencoded) {
    const std::string id = newUser("dave", "a&b+c%41=d");
    EXPECT_EQ(withoutToken(login("dave", "a&b+c%41=d")), "ok|" + id + "|100");
    EXPECT_TRUE(isRefusal(login("dave", "a&b+c%42=d")));
    // Blanks and "#" cannot stand in a request line: the program escapes just
    // those, and the key over the plain text tells the server to read them back.
    signUp("erika", "x y#%41");
    EXPECT_EQ(getBody("/login_client.asp?qzvemail=erika&qzvpassword=x%20y%23%41&key=" +
                      wycserver::loginKey("erika", "x y#%41"))
                  .substr(0, 3),
              "ok|");
}

TEST_P(AccountTest, PasswordsAndRecoveryCodesAreStoredOnlyAsSaltedHashes) {
    const std::string code1 = recoveryCodeIn(signUp("erin", "same-password"));
    signUp("frank", "same-password");
    server->stop();
    auto store = openStore();
    std::vector<std::string> hashes;
    for (const char* name : {"erin", "frank"}) {
        const auto account = store->findAccount(std::string(name));
        ASSERT_TRUE(account) << name;
        for (const std::string& h : {account->passwordHash, account->recoveryHash}) {
            EXPECT_EQ(h.rfind("$argon2id$", 0), 0u) << h;
            EXPECT_EQ(h.find("same-password"), std::string::npos);
            EXPECT_EQ(h.find(code1), std::string::npos);
        }
        hashes.push_back(account->passwordHash);
    }
    EXPECT_NE(hashes[0], hashes[1]); // salted
    if (GetParam() != StoreKind::Sqlite) return;
    // Nowhere else in the file either.
    const std::string file = readFileBytes(dataFile) + readFileBytes(dataFile + "-wal");
    EXPECT_EQ(file.find("same-password"), std::string::npos);
}

TEST_P(AccountTest, SignUpRefusesBadOrTakenAccounts) {
    signUp("grace", "pw");
    struct Case {
        std::string account, password, again;
    };
    const Case cases[] = {
        {"grace", "other", "other"}, // taken
        {"", "pw", "pw"},
        {"has space", "pw", "pw"},
        {"a&b", "pw", "pw"},
        {"x%41", "pw", "pw"},
        {"emoji\xF0\x9F\x98\x80", "pw", "pw"}, // not typeable in GBK
        {std::string(33, 'n'), "pw", "pw"},
        {"henry", "", ""},
        {"henry", "one", "two"},
        {"henry", "ctrl\x01", "ctrl\x01"},
    };
    for (const auto& c : cases) {
        auto res = postForm("/register.asp", "account=" + formEncode(c.account) +
                                                 "&password=" + formEncode(c.password) +
                                                 "&password2=" + formEncode(c.again));
        ASSERT_TRUE(res);
        EXPECT_NE(res->body.find("注册失败"), std::string::npos) << c.account << "/" << c.password;
    }
    EXPECT_TRUE(isRefusal(login("henry", "one")));
    EXPECT_EQ(login("grace", "pw").substr(0, 3), "ok|");
    EXPECT_TRUE(isRefusal(login("grace", "other")));
}

TEST_P(AccountTest, RecoveryCodeSetsANewPasswordOnce) {
    const std::string code = recoveryCodeIn(signUp("ivy", "old"));
    ASSERT_FALSE(code.empty());
    auto recover = [&](const std::string& account, const std::string& c, const std::string& pw) {
        auto res = postForm("/findpwd.asp",
                            "account=" + formEncode(account) + "&code=" + formEncode(c) +
                                "&password=" + formEncode(pw) + "&password2=" + formEncode(pw));
        return res ? res->body : std::string();
    };
    EXPECT_NE(recover("ivy", "2222-2222-2222-2222", "new").find("找回失败"), std::string::npos);
    EXPECT_NE(recover("nobody", code, "new").find("找回失败"), std::string::npos);
    // Typed loosely: lower case, no dashes.
    std::string loose;
    for (char c : code)
        if (c != '-') loose += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string page = recover("ivy", loose, "new");
    EXPECT_NE(page.find("密码已重新设置"), std::string::npos);
    const std::string newCode = recoveryCodeIn(page);
    EXPECT_FALSE(newCode.empty());
    EXPECT_NE(newCode, code);
    EXPECT_TRUE(isRefusal(login("ivy", "old")));
    EXPECT_EQ(login("ivy", "new").substr(0, 3), "ok|");
    EXPECT_NE(recover("ivy", code, "again").find("找回失败"), std::string::npos);
}

TEST_P(AccountTest, AccountPagesWorkInABrowser) {
    for (const char* path : {"/register.asp?tyc2.0", "/findpwd.asp?tyc2.0"}) {
        auto res = get(path);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200);
        EXPECT_NE(res->header("content-type").find("utf-8"), std::string::npos);
        EXPECT_NE(res->body.find("<form method=\"post\""), std::string::npos) << path;
        EXPECT_TRUE(cp::isValidUtf8(res->body));
    }
}

TEST(AbuseLimits, FailuresBlockOneAccountFromOneAddressForAWhile) {
    using namespace std::chrono;
    auto now = steady_clock::time_point{} + hours(1);
    wycserver::MemoryAbuseLimits limits({5, minutes(10), minutes(10), 2}, [&] { return now; });
    auto fail = [&](int times, const char* account = "a", const char* address = "1.1.1.1") {
        for (int i = 0; i < times; ++i) {
            limits.loginFailed(account, address);
            now += seconds(10);
        }
    };
    fail(4);
    limits.loginSucceeded("a", "1.1.1.1"); // a success starts the count afresh
    fail(4);
    EXPECT_FALSE(limits.loginBlocked("a", "1.1.1.1"));
    fail(1);
    EXPECT_TRUE(limits.loginBlocked("a", "1.1.1.1"));
    EXPECT_FALSE(limits.loginBlocked("a", "2.2.2.2"));
    EXPECT_FALSE(limits.loginBlocked("b", "1.1.1.1"));
    now += minutes(10);
    EXPECT_FALSE(limits.loginBlocked("a", "1.1.1.1"));
    // Failures further apart than the window never add up to a block.
    for (int i = 0; i < 8; ++i) {
        fail(1, "c");
        now += minutes(3);
    }
    EXPECT_FALSE(limits.loginBlocked("c", "1.1.1.1"));
    // Five failures with the first exactly ten minutes before the others are
    // not five in ten minutes; a second less, they are.
    for (const auto& [gap, blocks] : {std::pair{seconds(599), true}, {seconds(600), false}}) {
        const std::string account = "edge" + std::to_string(gap.count());
        limits.loginFailed(account, "1.1.1.1");
        now += gap;
        for (int i = 0; i < 4; ++i)
            limits.loginFailed(account, "1.1.1.1");
        EXPECT_EQ(limits.loginBlocked(account, "1.1.1.1"), blocks) << gap.count();
    }

    EXPECT_TRUE(limits.takeSignUp("1.1.1.1"));
    EXPECT_TRUE(limits.takeSignUp("1.1.1.1"));
    EXPECT_FALSE(limits.takeSignUp("1.1.1.1"));
    EXPECT_TRUE(limits.takeSignUp("2.2.2.2"));
    now += minutes(61);
    EXPECT_TRUE(limits.takeSignUp("1.1.1.1"));
}

TEST_P(AccountTest, WrongPasswordsLockThatAccountOutFromThatAddress) {
    const std::string id = newUser("target", "right");
    newUser("neighbour", "pw");
    for (int i = 0; i < 5; ++i)
        EXPECT_NE(login("target", "guess" + std::to_string(i)).find("账号或密码错误"),
                  std::string::npos);
    const std::string refused = login("target", "right");
    EXPECT_TRUE(isRefusal(refused)) << refused;
    EXPECT_NE(refused.find("10分钟"), std::string::npos) << refused;
    EXPECT_EQ(login("neighbour", "pw").substr(0, 3), "ok|");
    // The owner, from another address, is not locked out.
    HttpClient elsewhere("127.0.0.1", server->port());
    elsewhere.setSourceAddress("127.0.0.2");
    auto res = elsewhere.get("/login_client.asp?qzvemail=target&qzvpassword=right&key=" +
                             wycserver::loginKey("target", "right"));
    ASSERT_TRUE(res);
    EXPECT_EQ(withoutToken(res->body), "ok|" + id + "|100");
}

TEST_P(AccountTest, OldPasswordHashesStillWorkAndAreUpgraded) {
    const std::string id = newUser("veteran", "old-style");
    auto& storage = server->storage();
    const auto before = storage.findAccount("veteran");
    ASSERT_TRUE(before);
    storage.setPassword(before->id, wycserver::legacyPbkdf2Hash("old-style", 1000),
                        before->recoveryHash);
    EXPECT_TRUE(isRefusal(login("veteran", "wrong")));
    EXPECT_EQ(storage.findAccount("veteran")->passwordHash.rfind("pbkdf2-sha256$", 0), 0u);
    EXPECT_EQ(withoutToken(login("veteran", "old-style")), "ok|" + id + "|100");
    const std::string upgraded = storage.findAccount("veteran")->passwordHash;
    EXPECT_EQ(upgraded.rfind("$argon2id$", 0), 0u) << upgraded;
    EXPECT_FALSE(wycserver::needsRehash(upgraded));
    EXPECT_EQ(withoutToken(login("veteran", "old-style")), "ok|" + id + "|100");
    EXPECT_TRUE(isRefusal(login("veteran", "wrong")));
}

class DataFileTest : public ServerTest {};

TEST_P(DataFileTest, DataFileAndJournalsAreOwnerOnly) {
    newUser("private", "pw");
    ASSERT_TRUE(postForm("/post_test.asp", "id=1&content=x"));
    auto mode = [](const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0u;
    };
    for (const char* suffix : {"", "-wal", "-shm"})
        EXPECT_EQ(mode(dataFile + suffix), 0600u) << suffix;
    // A file left readable by an earlier version is tightened when opened.
    const std::string old = (dir->path() / "old.db").string();
    { wycserver::SqliteStorage created(old, false); }
    ::chmod(old.c_str(), 0644);
    wycserver::SqliteStorage reopened(old, false);
    EXPECT_EQ(mode(old), 0600u);
}

class SignUpLimitTest : public ServerTest {
  protected:
    void adjust(ServerOptions& opt) override { opt.signUpsPerHour = 2; }
};

TEST_P(SignUpLimitTest, EachAddressMakesALimitedNumberOfAccountsPerHour) {
    EXPECT_NE(signUp("first", "pw").find("注册成功"), std::string::npos);
    // A refused form does not use up the allowance.
    EXPECT_NE(signUp("first", "pw").find("已被注册"), std::string::npos);
    EXPECT_NE(signUp("second", "pw").find("注册成功"), std::string::npos);
    const std::string third = signUp("third", "pw");
    EXPECT_NE(third.find("注册失败"), std::string::npos);
    EXPECT_NE(third.find("太多"), std::string::npos);
    EXPECT_TRUE(isRefusal(login("third", "pw")));
    HttpClient elsewhere("127.0.0.1", server->port());
    elsewhere.setSourceAddress("127.0.0.2");
    auto res = elsewhere.post("/register.asp", "account=third&password=pw&password2=pw");
    ASSERT_TRUE(res);
    EXPECT_NE(res->body.find("注册成功"), std::string::npos);
}

WYC_ON_BOTH_STORES(AccountTest);
WYC_ON_BOTH_STORES(SignUpLimitTest);
WYC_ON_SQLITE(DataFileTest);

} // namespace
