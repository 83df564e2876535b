// The average originality a batch run shows on lbl23 when it ends.
#include <gtest/gtest.h>

#include "app/Unit1.h"
#include "support/fixtures.h"
#include "support/recording_platform.h"

namespace {

TEST(BatchOriginality, AverageOfTheRunAtItsEnd) {
    RecordingPlatform platform;
    TForm1 form{platform, FormOptions{"/opt/wyc/", 1}};
    form.batchOriginalityStart();
    form.batchOriginalityShow();
    EXPECT_EQ(form.lbl23.caption(), "");                            // nothing rewritten
    form.batchOriginalityAdd(g("今天天气很好"), g("今天天气不错")); // 66
    form.batchOriginalityAdd(g("今天天气很好"), g("明日阳光灿烂")); // 100
    form.batchOriginalityShow();
    EXPECT_EQ(form.lbl23.caption(), g("平均原创度：83%（2篇）"));
    // The next run starts afresh.
    form.batchOriginalityStart();
    EXPECT_EQ(form.lbl23.caption(), "");
}

} // namespace
