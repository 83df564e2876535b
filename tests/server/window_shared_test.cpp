// The shared thesaurus from the window, against the real server: log in,
// browse, download pairs for points, share pairs for points.
#include "server_fixture.h"
#include "thesaurus/keyword_store.h"

namespace {

class WindowSharedTest : public WindowServerTest {
  protected:
    void SetUp() override {
        WindowServerTest::SetUp();
        form->Database = KeywordStore::create((dir->path() / "setting.dat").string());
    }
    std::int64_t storedPairs() { return form->Database->count(); }
};

TEST_P(WindowSharedTest, BrowseDownloadAndShare) {
    const std::string sharer = newUser("sharer");
    for (int i = 1; i <= 25; ++i)
        ASSERT_NE(shareRequest(sharer, "原" + std::to_string(i), "新" + std::to_string(i))
                      .find("共享成功"),
                  std::string::npos);

    signUp("reader", "pw");
    form->edt2.setText("reader");
    form->bsknpswrdt1.setText("pw");
    press(&TForm1::btn3Click);
    ASSERT_TRUE(form->LoggedIn);
    const std::string id = form->UserId;

    // The newest page, then page 2.
    press(&TForm1::btn1Click);
    ASSERT_EQ(form->lv2.count(), 20);
    EXPECT_EQ(form->lv2.item(0).subItems, (StringList{g("原25"), g("新25"), sharer}));
    EXPECT_EQ(form->lbl10.caption(), g("共2页，当前第1页"));
    press(&TForm1::btn5Click);
    ASSERT_EQ(form->lv2.count(), 5);
    EXPECT_EQ(form->CurrentPage, "2");
    EXPECT_EQ(form->lbl3.caption(), g("网络词库第(2)页读取完成..."));

    // Five pairs for five points, once the user agreed.
    platform.confirmAnswers = {true};
    press(&TForm1::btn2Click);
    EXPECT_EQ(storedPairs(), 5);
    EXPECT_EQ(form->listview1.count(), 5);
    EXPECT_EQ(form->lbl8.caption(), g("ID:" + id + "登录成功,您当前拥有积分(95)分。"));

    // The window sends the token of its login with every points request.
    ASSERT_FALSE(form->LoginToken.empty());
    tokens[id] = form->LoginToken;
    // At zero points the server refuses, and the pair stays local.
    std::vector<std::pair<std::string, std::string>> more;
    for (int i = 0; i < 95; ++i)
        more.emplace_back("w" + std::to_string(i), "n");
    sharePairs(more);
    for (int i = 0; i < 95; ++i)
        ASSERT_NE(pointsRequest(id, "w" + std::to_string(i), "n").find('|'), std::string::npos);
    // The oldest page holds pairs this account has not bought yet; the page
    // count the window knows comes from the page it read last.
    press(&TForm1::btn1Click);
    EXPECT_EQ(form->lbl10.caption(), g("共6页，当前第1页"));
    form->bsknspndt1.setValue(6);
    press(&TForm1::btn7Click);
    ASSERT_EQ(form->lv2.item(0).subItems[0], g("原20"));
    form->lv2.setSelected(0);
    platform.confirmAnswers = {true};
    press(&TForm1::N4Click);
    EXPECT_EQ(storedPairs(), 6);
    EXPECT_EQ(form->listview1.count(), 6);
    EXPECT_NE(form->lbl3.caption().find(g("积分不足")), std::string::npos);
    EXPECT_EQ(form->lbl8.caption(), g("ID:" + id + "登录成功,您当前拥有积分(95)分。"));

    // Sharing earns ten points; the same pair again is refused, shown verbatim.
    form->bsSkinEdit1.setText(g("新的词"));
    form->bsSkinEdit2.setText(g("新词语"));
    press(&TForm1::bsSkinXFormButton3Click);
    EXPECT_NE(form->lbl9.caption().find(g("共享成功")), std::string::npos);
    EXPECT_NE(form->lbl9.caption().find(g("您当前拥有积分(10)分")), std::string::npos);
    EXPECT_EQ(form->lbl8.caption(), g("ID:" + id + "登录成功,您当前拥有积分(10)分。"));
    const std::string duplicate = g("共享失败：“新的词”→“新词语”已经在网络词库中");
    press(&TForm1::bsSkinXFormButton3Click); // stored already: shared all the same
    EXPECT_EQ(form->lbl9.caption(), duplicate);
    form->listview1.setSelected(form->listview1.count() - 1);
    press(&TForm1::N6Click);
    EXPECT_EQ(form->lbl9.caption(), duplicate);
    EXPECT_EQ(form->listview1.count(), 7);
}

WYC_ON_SQLITE(WindowSharedTest);

} // namespace
