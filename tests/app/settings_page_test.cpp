// The batch page's settings: ID-mode rules, directory pickers, link labels and
// the test submission.
#include <gtest/gtest.h>

#include "app/Unit1.h"
#include "app/net_form_fixture.h"
#include "support/fixtures.h"
#include "support/recording_platform.h"

namespace {

TEST(BatchSettings, IdModeFollowsTheSource) {
    enum Group { Source, IdMode };
    struct Case {
        int source;
        int modeBefore;
        Group clicked;
        int modeAfter;
    };
    // Source 0 = local directory, 1 = download list; mode 0 = address,
    // 1 = list number, 2 = file name.
    const Case cases[] = {
        {0, 1, Source, 2}, {1, 1, Source, 0}, {1, 2, Source, 0}, {0, 0, Source, 2},
        {0, 0, IdMode, 2}, {0, 1, IdMode, 1}, {0, 2, IdMode, 2}, {1, 2, IdMode, 0},
        {1, 1, IdMode, 1}, {1, 0, IdMode, 0},
    };
    RecordingPlatform platform;
    TForm1 form{platform, FormOptions{"/opt/wyc/", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.source << " " << c.modeBefore << " " << c.clicked);
        form.bsknrdgrp2.setItemIndex(c.source);
        form.bsknrdgrp1.setItemIndex(c.modeBefore);
        if (c.clicked == Source)
            form.bsknrdgrp2Click();
        else
            form.bsknrdgrp1Click();
        EXPECT_EQ(form.bsknrdgrp1.itemIndex(), c.modeAfter);
        EXPECT_EQ(form.bsknrdgrp2.itemIndex(), c.source);
    }
}

TEST(BatchSettings, OneDirectoryDialogForBothPickers) {
    RecordingPlatform platform;
    TForm1 form{platform, FormOptions{"/opt/wyc/", 1}};
    form.bsSelDir1.initialDir = form.ProgramDir(); // as start-up leaves it
    form.edt3.setText("/in");
    form.edt4.setText("/out");
    platform.dirAnswers = {g("/数据/源"), std::nullopt, g("/数据/目标"), std::nullopt};

    form.btn9Click();
    EXPECT_EQ(form.edt3.text(), g("/数据/源"));
    form.btn10Click(); // cancelled
    EXPECT_EQ(form.edt4.text(), "/out");
    form.btn10Click();
    EXPECT_EQ(form.edt4.text(), g("/数据/目标"));
    EXPECT_EQ(form.lbl20.address(), g("/数据/目标"));
    form.btn9Click(); // cancelled
    EXPECT_EQ(form.edt3.text(), g("/数据/源"));

    std::vector<std::string> shown;
    for (const auto& call : platform.calls)
        if (call.what == "selectDirectory") shown.push_back(call.text);
    const std::vector<std::string> expected = {
        g("选择源目录|/opt/wyc/"), g("选择目标目录|/数据/源"), g("选择目标目录|/数据/源"),
        g("选择源目录|/数据/目标")};
    EXPECT_EQ(shown, expected);

    // The link labels open what their edits hold now.
    form.edt8.setText("http://127.0.0.1:1/recv.asp");
    form.lbl20Click();
    form.lbl21Click();
    ASSERT_GE(platform.calls.size(), 2u);
    EXPECT_EQ(platform.calls[platform.calls.size() - 2].text, g("/数据/目标"));
    EXPECT_EQ(platform.calls.back().text, "http://127.0.0.1:1/recv.asp");
}

using TestSubmission = NetFormTest;

TEST_F(TestSubmission, PostsTheFixedArticleToTheVendorTestPage) {
    form->UserId = "9";
    form->edt8.setText(url("/elsewhere.asp"));
    form->btn13Click();
    ASSERT_TRUE(settle());
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].target, "/post_test.asp");
    EXPECT_EQ(requests[0].body, g("id=09&content=测试内容"));
}

} // namespace
