// The window's login command against the real server, as a new user would do
// it: sign up in the browser, type account and password, press the button.
#include "server_fixture.h"

namespace {

class WindowLoginTest : public WindowServerTest {
  protected:
    void pressLogin(const std::string& accountUtf8, const std::string& passwordUtf8) {
        form->edt2.setText(g(accountUtf8));
        form->bsknpswrdt1.setText(g(passwordUtf8));
        press(&TForm1::btn3Click);
    }
};

TEST_P(WindowLoginTest, NewUserLogsInAndSeesTheStartingPoints) {
    // A Chinese account, and a password with a blank and "#" that the window
    // has to escape in its address.
    ASSERT_NE(signUp("新用户demo", "口令 #1").find("注册成功"), std::string::npos);
    pressLogin("新用户demo", "口令 #1");
    EXPECT_TRUE(form->LoggedIn);
    EXPECT_EQ(form->UserId, "10001");
    EXPECT_EQ(form->lbl8.caption(), g("ID:10001登录成功,您拥有积分(100)分。"));
}

TEST_P(WindowLoginTest, WrongPasswordShowsTheServersRefusal) {
    newUser("someone", "right");
    pressLogin("someone", "wrong");
    EXPECT_FALSE(form->LoggedIn);
    EXPECT_EQ(form->UserId, "0");
    EXPECT_EQ(form->lbl8.caption(), g("登录失败：账号或密码错误"));
}

WYC_ON_SQLITE(WindowLoginTest);

} // namespace
