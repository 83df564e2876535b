// "生成" of the download list.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/Unit1.h"
#include "net/vendor.h"
#include "support/fixtures.h"
#include "support/recording_platform.h"

namespace {

struct GeneratorCase {
    const char* name;
    std::optional<std::string> pattern;  // UTF-8; nothing = the default pattern
    std::optional<std::string> from, to; // nothing = the defaults
    bool pad;
    bool clearOld;
    std::string before;            // UTF-8 text of the list before the press
    size_t count;                  // lines after
    std::vector<std::string> head; // UTF-8, the first lines after
    std::string tail;              // UTF-8, the last line after ("" = not checked)
    bool refused = false;          // a message instead, the list untouched
};

TEST(Generator, PressesOfGenerate) {
    const std::string base = vendor::address("/get_test.asp?id=");
    // clang-format off
    const std::vector<GeneratorCase> cases = {
        {"defaults", {}, {}, {}, false, false, "", 100, {base + "1", base + "2"}, base + "100"},
        {"defaults padded", {}, {}, {}, true, false, "", 100, {base + "001", base + "002"},
         base + "100"},
        {"width of the last number", "u(*)", "5", "1000", true, false, "", 996, {"u0005"}, "u1000"},
        {"two wildcards", "a(*)b(*)", "3", "4", false, false, "", 2, {"a3b3", "a4b4"}, ""},
        {"appended", "网(*)", "7", "7", false, false, "old\r\nx", 3, {"old", "x", "网7"}, ""},
        {"old list cleared", "u(*)", "7", "8", false, true, "old", 2, {"u7", "u8"}, ""},
        // Only addresses go in: a press that cannot make any leaves the list as it was.
        {"no wildcard", "u", "1", "3", false, false, "old", 1, {"old"}, "", true},
        {"no wildcard, clearing asked", "u", "1", "3", false, true, "old", 1, {"old"}, "", true},
        {"first above last", "u(*)", "9", "3", false, false, "old", 1, {"old"}, "", true},
        {"first above last, clearing asked", "u(*)", "9", "3", false, true, "old", 1, {"old"}, "",
         true},
        {"values rounded", "u(*)", "1.6", " 2.4 ", false, false, "", 1, {"u2"}, ""},
        {"sign before zeros", "u(*)", "-5", "100", true, false, "", 106, {"u-05", "u-04"}, "u100"},
        {"largest press", "u(*)", "1", "100000", false, false, "", 100000, {"u1"}, "u100000"},
        {"too many lines", "u(*)", "1", "100001", false, true, "old", 1, {"old"}, "", true},
        {"not a number", "u(*)", "", "5", false, true, "old", 1, {"old"}, "", true},
        {"not a number either", "u(*)", "1", "5x", false, true, "old", 1, {"old"}, "", true},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingPlatform platform;
        TForm1 form{platform, FormOptions{"/opt/wyc/", 1}};
        if (c.pattern) form.edt5.setText(g(*c.pattern));
        if (c.from) form.edt6.setText(*c.from);
        if (c.to) form.edt7.setText(*c.to);
        form.bschck8.setChecked(c.pad);
        form.bschck9.setChecked(c.clearOld);
        form.mmo2.setText(g(c.before));

        form.btn12Click();

        const StringList lines = form.mmo2.lines();
        ASSERT_EQ(lines.size(), c.count);
        for (size_t i = 0; i < c.head.size(); ++i)
            EXPECT_EQ(lines[i], g(c.head[i])) << i;
        if (!c.tail.empty()) {
            EXPECT_EQ(lines.back(), g(c.tail));
        }
        EXPECT_EQ(form.lbl19.caption().empty(), !c.refused);
        if (c.refused) {
            EXPECT_EQ(form.mmo2.text(), g(c.before));
        }
    }
}

} // namespace
