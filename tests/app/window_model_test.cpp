// The window model's defaults and the small commands of the tool panel.
#include <gtest/gtest.h>

#include <utility>

#include "app/Unit1.h"
#include "net/vendor.h"
#include "support/fixtures.h"
#include "support/recording_platform.h"

namespace {

struct FormTest : ::testing::Test {
    RecordingPlatform platform;
    TForm1 form{platform, FormOptions{"/opt/wyc/", 1}};
};

TEST_F(FormTest, DefaultsThatTheProgramReads) {
    EXPECT_TRUE(form.bschck4.checked());
    EXPECT_FALSE(form.bschck1.checked());
    EXPECT_FALSE(form.bschck2.checked());
    EXPECT_TRUE(form.bschck3.checked());
    EXPECT_EQ(form.bsknsldr1.position(), 5);
    EXPECT_EQ(form.bsknsldr1.min(), 2);
    EXPECT_EQ(form.bsknsldr1.max(), 30);
    EXPECT_TRUE(form.bschck5.checked());
    EXPECT_TRUE(form.bsknpswrdt1.isPassword());
    EXPECT_FALSE(form.bsSkinXFormButton5.visible());
    EXPECT_EQ(form.btn3.caption(), g("登  录"));
    EXPECT_EQ(form.lbl8.caption(), g("未登录"));
    EXPECT_EQ(form.bsSkinPageControl1.activePage(), 2);
    ASSERT_EQ(form.bsSkinPageControl1.captions().size(), 6u);
    EXPECT_EQ(form.bsSkinPageControl1.captions()[0], g("　旧文章　"));
    EXPECT_EQ(form.bsSkinPageControl1.captions()[2], g(" 管理词库 "));
    EXPECT_EQ(form.listview1.columns().size(), 4u);
    EXPECT_EQ(form.lv2.columns()[3].caption, g("共享人ID"));
    EXPECT_EQ(form.bsknrdgrp1.itemIndex(), 2);
    EXPECT_EQ(form.edt5.text(), vendor::baseAddress() + "/get_test.asp?id=(*)");
    EXPECT_EQ(form.edt8.text(), vendor::baseAddress() + "/post_test.asp");
    EXPECT_EQ(form.lbl6.address(), vendor::baseAddress() + "/register.asp?tyc2.0");
    EXPECT_EQ(form.lbl7.address(), vendor::baseAddress() + "/findpwd.asp?tyc2.0");
    EXPECT_EQ(form.CurrentPage, "1");
    EXPECT_EQ(form.PageCount, "0");
    EXPECT_FALSE(form.LoggedIn);
    EXPECT_FALSE(form.ThesaurusLoaded);
}

TEST_F(FormTest, ClearAndCopyCommands) {
    // Clearing empty memos still shows the first page.
    form.bsSkinButton1Click();
    EXPECT_EQ(form.bsSkinPageControl1.activePage(), 0);

    form.Memo1.setText("old");
    form.Memo2.setText("new");
    form.lbl22.setCaption(g("原创度：85%"));
    form.bsSkinPageControl1.setActivePage(1);
    form.bsSkinButton1Click();
    EXPECT_TRUE(form.Memo1.text().empty());
    EXPECT_TRUE(form.Memo2.text().empty());
    EXPECT_TRUE(form.lbl22.caption().empty()); // no score for an article that is gone
    EXPECT_EQ(form.bsSkinPageControl1.activePage(), 0);

    // An empty new article leaves the clipboard alone; either way the tool
    // panel says what happened.
    platform.clipboard = "kept";
    form.bsSkinXFormButton1Click();
    EXPECT_EQ(platform.clipboard, "kept");
    EXPECT_EQ(form.Label1.caption(), g("【提示信息】新文章是空的，没有可复制的内容。"));
    form.Memo2.setText(g("第一行\r\n第二行"));
    form.bsSkinXFormButton1Click();
    EXPECT_EQ(platform.clipboard, g("第一行\r\n第二行"));
    EXPECT_EQ(form.Label1.caption(), g("【提示信息】新文章已复制到剪贴板。"));
}

TEST_F(FormTest, TheFrequencyNumberFollowsTheSlider) {
    EXPECT_EQ(form.lbl26.caption(), "5");
    for (auto [set, shown] : {std::pair{12, "12"}, {30, "30"}, {99, "30"}, {0, "2"}}) {
        form.bsknsldr1.setPosition(set);
        EXPECT_EQ(form.lbl26.caption(), shown) << set;
    }
}

struct FakeBanner : BannerDocument {
    bool body = true;
    std::vector<std::string> log;
    bool hasBody() const override { return body; }
    void setBodyScroll(const std::string& v) override { log.push_back("scroll=" + v); }
    void setBodyStyleMargin(const std::string& v) override { log.push_back("margin=" + v); }
    void setBodyStyleBorderWidth(int v) override { log.push_back("border=" + std::to_string(v)); }
};

TEST_F(FormTest, BannerStyleOnlyWhenThePageHasABody) {
    FakeBanner banner;
    form.WebBrowser1DocumentComplete(banner);
    EXPECT_EQ(banner.log, (std::vector<std::string>{"scroll=no", "margin=0", "border=0"}));
    FakeBanner noBody;
    noBody.body = false;
    form.WebBrowser1DocumentComplete(noBody);
    EXPECT_TRUE(noBody.log.empty());
}

TEST_F(FormTest, LinkLabelsOpenTheirAddressesAndUncaughtFailuresReachTheErrorBox) {
    form.lbl6Click();
    form.lbl20.setAddress("");
    form.lbl20Click(); // empty address: nothing
    ASSERT_EQ(platform.count("open"), 1);
    EXPECT_EQ(platform.calls.back().text, form.lbl6.address());

    form.edt8.setText("http://example.invalid/post");
    EXPECT_EQ(form.lbl21.address(), "http://example.invalid/post");

    form.Label1.setCaption("before");
    form.run([&] { throw std::runtime_error("boom"); });
    EXPECT_EQ(platform.errors(), std::vector<std::string>{"boom"});
    EXPECT_EQ(form.Label1.caption(), "before");
}

} // namespace
