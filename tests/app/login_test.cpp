// The login command, the key digest and the login answer.
#include "protocol/MD5.h"

#include "app/net_form_fixture.h"
#include "engine/stringlist.h"

// RFC 1321, appendix A.5.
TEST(MD5Hex, Rfc1321TestSuite) {
    EXPECT_EQ(MD5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(MD5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(MD5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(MD5Hex("1234567890123456789012345678901234567890123456789012345678901234567890"
                     "1234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
    // A GBK text is digested as its bytes (D6 D0).
    EXPECT_EQ(MD5Hex(g("中")), "5301da37e5ffca1823a5cef67488d4bf");
}

namespace {
class LoginTest : public NetFormTest {
  protected:
    // Logs in with the answer `reply` and waits for it.
    void login(const std::string& account, const std::string& password, Reply reply) {
        server.answer("/login_client.asp", reply);
        form->edt2.setText(account);
        form->bsknpswrdt1.setText(password);
        form->btn3Click();
        ASSERT_TRUE(settle());
    }
    std::string config() { return readFileBytes(dir.path() / "config.txt"); }
};
} // namespace

TEST_F(LoginTest, AddressCarriesAccountPasswordAndKey) {
    login("a", "b", {200, "no"});
    auto reqs = server.requests();
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(reqs[0].method, "GET");
    // md5("a" + md5("b") + "pantile_morsund"), computed independently.
    EXPECT_EQ(reqs[0].target, "/login_client.asp?qzvemail=a&qzvpassword=b"
                              "&key=8620a7b1ee5b4a59014f1de58b3c2751");
}

TEST_F(LoginTest, AccountGoesOutUnencodedAndIsDigestedAsTyped) {
    const std::string account = g("张 三&x");
    login(account, "p w", {200, "no"});
    auto reqs = server.requests();
    ASSERT_EQ(reqs.size(), 1u);
    const std::string key = MD5Hex(account + MD5Hex("p w") + "pantile_morsund");
    // Only the blanks are escaped on the way, to keep the request line intact.
    EXPECT_EQ(reqs[0].target, "/login_client.asp?qzvemail=" + g("张") + "%20" + g("三") +
                                  "&x&qzvpassword=p%20w&key=" + key);
}

TEST_F(LoginTest, AcceptedAnswerSetsTheStateAndShowsThePoints) {
    login("a", "b", {200, "ok|77|150"});
    EXPECT_TRUE(form->LoggedIn);
    EXPECT_EQ(form->UserId, "77");
    EXPECT_EQ(form->lbl8.caption(), g("ID:77登录成功,您拥有积分(150)分。"));

    EXPECT_EQ(form->LoginToken, "");

    // A fourth field is the login token, sent back with points and shares.
    login("a", "b", {200, "ok|78|3|x"});
    EXPECT_EQ(form->UserId, "78");
    EXPECT_EQ(form->lbl8.caption(), g("ID:78登录成功,您拥有积分(3)分。"));
    EXPECT_EQ(form->LoginToken, "x");

    // A UTF-8 answer whose GBK form has "|" as the second byte of a character.
    login("a", "b", {200, "\xE5\x84\x84|79|5"}); // 億
    EXPECT_TRUE(form->LoggedIn);
    EXPECT_EQ(form->UserId, "79");
}

TEST_F(LoginTest, AnythingElseIsARefusalShownVerbatim) {
    form->LoggedIn = true;
    form->UserId = "77";
    form->LoginToken = "x";
    login("a", "b", {200, "\xE5\xAF\x86\xE7\xA0\x81\xE9\x94\x99\xE8\xAF\xAF"}); // 密码错误
    EXPECT_EQ(form->LoginToken, "");
    EXPECT_FALSE(form->LoggedIn);
    EXPECT_EQ(form->UserId, "0");
    EXPECT_EQ(form->lbl8.caption(), g("密码错误"));

    for (const char* malformed : {"ok|77", "ok||150", "|"}) {
        form->LoggedIn = true;
        login("a", "b", {200, malformed});
        EXPECT_FALSE(form->LoggedIn) << malformed;
        EXPECT_EQ(form->UserId, "0") << malformed;
        EXPECT_EQ(form->lbl8.caption(), malformed);
    }
}

TEST_F(LoginTest, FailedTransferKeepsTheState) {
    form->LoggedIn = true;
    form->UserId = "77";
    login("a", "b", {200, ""});
    EXPECT_TRUE(form->LoggedIn);
    EXPECT_EQ(form->UserId, "77");
    EXPECT_EQ(form->lbl8.caption(), g("登录失败-服务器不能连接，请联系") + server.base());
}

TEST_F(LoginTest, LastAnswerToArriveDecides) {
    const std::string slow = "slow", fast = "fast";
    auto target = [](const std::string& account) {
        return "/login_client.asp?qzvemail=" + account +
               "&qzvpassword=p&key=" + MD5Hex(account + MD5Hex("p") + "pantile_morsund");
    };
    server.answer(target(slow), {200, "ok|5|10", "", "", 300});
    server.answer(target(fast), {200, "refused"});
    form->bsknpswrdt1.setText("p");
    form->edt2.setText(slow);
    form->btn3Click();
    form->edt2.setText(fast);
    form->btn3Click();
    ASSERT_TRUE(settle());
    EXPECT_EQ(server.count(), 2u);
    EXPECT_TRUE(form->LoggedIn);
    EXPECT_EQ(form->UserId, "5");
}

TEST_F(LoginTest, OnlyAnAcceptedLoginReplacesTheSavedAccount) {
    const std::string saved = "saved\r\nsecret\r\n";
    writeFileBytes(dir.path() / "config.txt", saved);
    form->ConfigLines = {"saved", "secret"};
    struct Case {
        const char* name;
        bool box;
        Reply reply;
        std::string config;
    } cases[] = {
        {"refused", true, {200, "refused"}, saved},
        {"no answer", true, {200, ""}, saved},
        {"accepted, box unchecked", false, {200, "ok|1|1"}, saved},
        {"accepted", true, {200, "ok|1|1"}, " user \r\npass \r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        form->bschck5.setChecked(c.box);
        login(" user ", "pass ", c.reply);
        EXPECT_EQ(config(), c.config);
    }
    EXPECT_EQ(form->ConfigLines, (StringList{" user ", "pass "}));
}

TEST_F(LoginTest, UnwritableConfigIsShownOnceTheLoginIsAccepted) {
    FormOptions missing{dir.dirText() + "no/such/dir/", 1};
    form = std::make_unique<TForm1>(platform, missing);
    server.answer("/login_client.asp", {200, "ok|5|10"});
    form->edt2.setText("a");
    form->run([this] { form->btn3Click(); });
    ASSERT_TRUE(settle());
    EXPECT_EQ(server.count(), 1u);
    EXPECT_EQ(platform.errors().size(), 1u);
    EXPECT_TRUE(form->LoggedIn); // the login holds; only the saving failed
}
