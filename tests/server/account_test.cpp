// Sign-up, login with the key digest, password recovery and how passwords are kept.
#include <sqlite3.h>

#include "engine/codepage.h"
#include "net/MD5.h"
#include "server/protocol.h"
#include "server_fixture.h"
#include "thesaurus/sqlite.h"

namespace {

// The program converts answers to GBK before it looks for "|".
bool isRefusal(const std::string& answer) {
    return !answer.empty() && cp::utf8ToGbk(answer).find('|') == std::string::npos;
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

TEST_F(AccountTest, NewAccountStartsWithHundredPoints) {
    const std::string page = signUp("alice", "pw1");
    EXPECT_NE(page.find("注册成功"), std::string::npos);
    EXPECT_NE(recoveryCodeIn(page), "");
    const std::string answer = login("alice", "pw1");
    EXPECT_EQ(answer.substr(0, 3), "ok|");
    EXPECT_EQ(answer.substr(answer.rfind('|')), "|100");
    // User ids never collide with the program's "9" (not logged in) or "0" (refused).
    EXPECT_GE(std::stoll(newUser("bob")), 10001);
}

TEST_F(AccountTest, LoginIsRefusedWithAMessageWithoutBar) {
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

TEST_F(AccountTest, ChineseAccountLogsInWithGbkBytesAsTheProgramSendsThem) {
    const std::string id = newUser("测试用户", "密码abc");
    EXPECT_NE(id, "0");
    EXPECT_EQ(login(g("测试用户"), g("密码abc")), "ok|" + id + "|100");
    // A client that sends UTF-8 (and computes the key over it) is understood too.
    EXPECT_EQ(login("测试用户", "密码abc"), "ok|" + id + "|100");
    // A client that percent-encodes the GBK bytes, with the key over the plain text.
    const std::string account = g("测试用户"), password = g("密码abc");
    EXPECT_EQ(getBody("/login_client.asp?qzvemail=" + formEncode(account) + "&qzvpassword=" +
                      formEncode(password) + "&key=" + wycserver::loginKey(account, password)),
              "ok|" + id + "|100");
}

TEST_F(AccountTest, PasswordsWithQuerySymbolsTravelUnencoded) {
    const std::string id = newUser("dave", "a&b+c%41=d");
    EXPECT_EQ(login("dave", "a&b+c%41=d"), "ok|" + id + "|100");
    EXPECT_TRUE(isRefusal(login("dave", "a&b+c%42=d")));
    // Blanks and "#" cannot stand in a request line: the program escapes just
    // those, and the key over the plain text tells the server to read them back.
    signUp("erika", "x y#%41");
    EXPECT_EQ(getBody("/login_client.asp?qzvemail=erika&qzvpassword=x%20y%23%41&key=" +
                      wycserver::loginKey("erika", "x y#%41"))
                  .substr(0, 3),
              "ok|");
}

TEST_F(AccountTest, PasswordsAndRecoveryCodesAreStoredOnlyAsSaltedHashes) {
    const std::string code1 = recoveryCodeIn(signUp("erin", "same-password"));
    signUp("frank", "same-password");
    server->stop();
    auto db = SqliteDb::openExisting(dataFile);
    Statement st(db, "SELECT password_hash, recovery_hash FROM accounts ORDER BY id");
    std::vector<std::string> hashes;
    while (st.step()) {
        for (int col = 0; col < 2; ++col) {
            const std::string h = st.text(col);
            EXPECT_EQ(h.rfind("pbkdf2-sha256$", 0), 0u) << h;
            EXPECT_EQ(h.find("same-password"), std::string::npos);
            EXPECT_EQ(h.find(code1), std::string::npos);
        }
        hashes.push_back(st.text(0));
    }
    ASSERT_EQ(hashes.size(), 2u);
    EXPECT_NE(hashes[0], hashes[1]); // salted
    // Nowhere else in the file either.
    const std::string file = readFileBytes(dataFile) + readFileBytes(dataFile + "-wal");
    EXPECT_EQ(file.find("same-password"), std::string::npos);
}

TEST_F(AccountTest, SignUpRefusesBadOrTakenAccounts) {
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

TEST_F(AccountTest, RecoveryCodeSetsANewPasswordOnce) {
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

TEST_F(AccountTest, AccountPagesWorkInABrowser) {
    for (const char* path : {"/register.asp?tyc2.0", "/findpwd.asp?tyc2.0"}) {
        auto res = get(path);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200);
        EXPECT_NE(res->get_header_value("Content-Type").find("utf-8"), std::string::npos);
        EXPECT_NE(res->body.find("<form method=\"post\""), std::string::npos) << path;
        EXPECT_TRUE(cp::isValidUtf8(res->body));
    }
}

} // namespace
