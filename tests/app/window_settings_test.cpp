// The window settings kept from one run to the next in wyc.ini beside
// config.txt: what comes back, what is refused as damaged, and start-up.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/Unit1.h"
#include "support/fixtures.h"
#include "support/recording_platform.h"

namespace fs = std::filesystem;

namespace {

// Every kept value of a window, as text.
std::vector<std::string> kept(const TForm1& f) {
    auto flag = [](const TCheckBox& c) { return std::string(c.checked() ? "1" : "0"); };
    return {f.edt3.text(),
            f.edt4.text(),
            f.edt5.text(),
            f.edt6.text(),
            f.edt7.text(),
            flag(f.bschck8),
            flag(f.bschck9),
            std::to_string(f.bsknrdgrp2.itemIndex()),
            std::to_string(f.bsknrdgrp3.itemIndex()),
            std::to_string(f.bsknrdgrp1.itemIndex()),
            f.edt8.text(),
            std::to_string(f.cbb2.itemIndex()),
            flag(f.bschck4),
            flag(f.bschck1),
            flag(f.bschck2),
            flag(f.bschck3),
            flag(f.bschck11),
            f.edt1.text(),
            std::to_string(f.cbb1.itemIndex()),
            std::to_string(f.bsknsldr1.position()),
            std::to_string(f.WindowWidth),
            std::to_string(f.WindowHeight),
            std::to_string(f.bsSkinPageControl1.activePage())};
}

struct WindowSettingsTest : ::testing::Test {
    TempDir dir;
    RecordingPlatform platform;
    std::unique_ptr<TForm1> window() {
        return std::make_unique<TForm1>(platform, FormOptions{dir.dirText(), 1});
    }
    fs::path file() const { return dir.path() / "wyc.ini"; }
    const std::string header = "# wyc window settings 1\n";
};

TEST_F(WindowSettingsTest, WhatTheUserSetComesBackInTheNextRun) {
    auto first = window();
    const auto defaults = kept(*first);
    EXPECT_EQ(first->readWindowSettings(), "");
    first->saveWindowSettings();
    EXPECT_FALSE(fs::exists(file())) << "nothing changed, nothing written";

    first->edt3.setText(g("/数据/源 目录"));
    first->edt4.setText("/tmp/out\\dir");
    first->edt5.setText("http://a.example/b?id=(*)&x=1");
    first->edt6.setText("7");
    first->edt7.setText("70");
    first->bschck8.setChecked(true);
    first->bschck9.setChecked(true);
    first->bsknrdgrp2.setItemIndex(1);
    first->bsknrdgrp3.setItemIndex(1);
    first->bsknrdgrp1.setItemIndex(1);
    first->edt8.setText("http://b.example/post");
    first->cbb2.setItemIndex(1);
    first->cbb1.setItemIndex(2);
    first->bschck4.setChecked(false);
    first->bschck1.setChecked(true);
    first->bschck2.setChecked(true);
    first->bschck3.setChecked(false);
    first->bschck11.setChecked(false);
    first->edt1.setText(g("关键词=\\r\r\n第二行 ") + "\x81\x30\x81\x30"); // GB18030 four-byte
    first->bsknsldr1.setPosition(17);
    first->WindowWidth = 1000;
    first->WindowHeight = 700;
    first->bsSkinPageControl1.setActivePage(4);
    const auto set = kept(*first);
    for (size_t i = 0; i < set.size(); ++i)
        EXPECT_NE(set[i], defaults[i]) << "value " << i << " is left at its default";
    first->saveWindowSettings();

    auto second = window();
    EXPECT_EQ(second->readWindowSettings(), "");
    EXPECT_EQ(kept(*second), set);
    // What follows the values follows them on the way back too.
    EXPECT_EQ(second->lbl21.address(), "http://b.example/post");
    EXPECT_EQ(second->lbl26.caption(), "17");
    // config.txt is a file of its own and not touched.
    EXPECT_FALSE(fs::exists(dir.path() / "config.txt"));

    // Written again only when a value changed.
    fs::remove(file());
    second->saveWindowSettings();
    EXPECT_FALSE(fs::exists(file()));
    second->bsknsldr1.setPosition(18);
    second->saveWindowSettings();
    EXPECT_TRUE(fs::exists(file()));
}

TEST_F(WindowSettingsTest, ADamagedFileIsSetAsideAndTheDefaultsStay) {
    struct Case {
        const char* name;
        std::string bytes;
        bool damaged;
    } cases[] = {
        {"empty", "", true},
        {"another header", "# other\nrewrite.frequency=9\n", true},
        {"not key=value", header + "rewrite.frequency 9\n", true},
        {"unknown escape", header + "rewrite.keyword=a\\tb\n", true},
        {"key twice", header + "rewrite.frequency=9\nrewrite.frequency=8\n", true},
        {"slider out of range", header + "rewrite.frequency=31\n", true},
        // All or nothing: the good value before the bad one stays out too.
        {"radio out of range", header + "rewrite.frequency=9\nbatch.source=2\n", true},
        {"not a number", header + "window.width=wide\n", true},
        {"switch not 0 or 1", header + "rewrite.shuffle=yes\n", true},
        {"binary", std::string("\0\xff\xfe=\x01", 5), true},
        // A later version's key, CR LF, comments and missing keys are fine;
        // the ID mode follows the source as a click would leave it.
        {"tolerated",
         header + "\r\n# a note\r\nlater.setting=1\r\nrewrite.frequency=9\r\n"
                  "batch.source=1\r\nbatch.id_mode=2\r\n",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(dir.path() / "wyc.ini.bad");
        writeFileBytes(file(), c.bytes);
        auto w = window();
        auto defaults = kept(*w);
        const std::string note = w->readWindowSettings();
        if (!c.damaged) {
            EXPECT_EQ(note, "");
            EXPECT_EQ(w->bsknsldr1.position(), 9);
            EXPECT_EQ(w->bsknrdgrp2.itemIndex(), 1);
            EXPECT_EQ(w->bsknrdgrp1.itemIndex(), 0);
            continue;
        }
        EXPECT_EQ(note, g("【提示信息】窗口设置文件 ") + file().string() +
                            g(" 已损坏，已忽略，使用默认设置（原文件改名为 wyc.ini.bad）。"));
        EXPECT_EQ(kept(*w), defaults);
        EXPECT_FALSE(fs::exists(file()));
        EXPECT_EQ(readFileBytes(dir.path() / "wyc.ini.bad"), c.bytes);
        // Nothing changed: the set-aside file is not followed by a new one.
        w->saveWindowSettings();
        EXPECT_FALSE(fs::exists(file()));
    }
}

TEST_F(WindowSettingsTest, AFailedWriteIsNotedOnceAndTriedAgainAtTheNextChange) {
    fs::create_directory(file()); // no file can take its place
    auto w = window();
    EXPECT_EQ(w->readWindowSettings(),
              g("【提示信息】无法读取窗口设置文件 ") + file().string() + g("，本次使用默认设置。"));
    w->bschck1.setChecked(true);
    w->saveWindowSettings();
    EXPECT_EQ(w->Label1.caption(), g("【提示信息】窗口设置无法保存到 ") + file().string());
    w->Label1.setCaption("later");
    w->bschck1.setChecked(false);
    w->saveWindowSettings();
    EXPECT_EQ(w->Label1.caption(), "later");
    fs::remove(file());
    w->bschck1.setChecked(true);
    w->saveWindowSettings();
    EXPECT_TRUE(fs::is_regular_file(file()));
    EXPECT_TRUE(platform.errors().empty());
}

TEST_F(WindowSettingsTest, StartUpPutsTheSettingsBackAndConfigKeepsItsTwoLines) {
    TempDir work;
    makeDatabase(work.path() / "setting.dat", {{"美丽", "漂亮"}});
    writeFileBytes(dir.path() / "config.txt", "user\r\npass\r\n");
    writeFileBytes(file(), header + "batch.source_dir=/src\nwindow.page=4\n");
    auto start = [&] {
        ScopedCwd cwd(work.path());
        auto w = window();
        w->FormCreate();
        return w;
    };
    auto w = start();
    EXPECT_EQ(w->edt3.text(), "/src");
    EXPECT_EQ(w->edt4.text(), dir.dirText() + "output");
    EXPECT_EQ(w->bsSkinPageControl1.activePage(), 4);
    EXPECT_EQ(w->edt2.text(), "user");
    w->saveWindowSettings();
    EXPECT_EQ(readFileBytes(dir.path() / "config.txt"), "user\r\npass\r\n");

    // A damaged file is said on the tool panel once the thesaurus is loaded.
    writeFileBytes(file(), "garbage");
    w = start();
    EXPECT_EQ(w->Label1.caption(),
              g("【提示信息】窗口设置文件 ") + file().string() +
                  g(" 已损坏，已忽略，使用默认设置（原文件改名为 wyc.ini.bad）。"));
    EXPECT_EQ(w->bsSkinPageControl1.activePage(), 2);
    EXPECT_TRUE(w->ThesaurusLoaded);
}

} // namespace
