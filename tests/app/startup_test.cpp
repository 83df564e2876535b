// Start-up of the main window: program directory vs working directory, the
// settings file, the missing-database exit, and the initial window state.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>

#include "app/Unit1.h"
#include "engine/files.h"
#include "net/vendor.h"
#include "sqlitedb/sqlite.h"
#include "support/fixtures.h"
#include "support/recording_platform.h"

namespace fs = std::filesystem;

namespace {

struct StartupTest : ::testing::Test {
    TempDir programDir; // where the executable (and config.txt) lives
    TempDir workDir;    // the process's working directory (setting.dat)
    RecordingPlatform platform;

    std::unique_ptr<TForm1> start() {
        ScopedCwd cwd(workDir.path());
        auto form = std::make_unique<TForm1>(platform, FormOptions{programDir.dirText(), 1});
        form->FormCreate();
        return form;
    }
    fs::path configFile() const { return programDir.path() / "config.txt"; }
};

TEST_F(StartupTest, ConfigBesideProgramAndDatabaseInWorkingDirectory) {
    makeDatabase(workDir.path() / "setting.dat", {{"美丽", "漂亮"}, {"迅速", "快速", false}});
    writeFileBytes(configFile(), "user\r\npass\r\n");
    auto form = start();

    EXPECT_FALSE(platform.terminated);
    EXPECT_TRUE(platform.errors().empty());
    EXPECT_EQ(form->edt2.text(), "user");
    EXPECT_EQ(form->bsknpswrdt1.text(), "pass");
    EXPECT_EQ(form->listview1.count(), 2);
    EXPECT_EQ(form->OriginalWords, StringList{g("美丽")});
    EXPECT_TRUE(form->ThesaurusLoaded);
    EXPECT_EQ(form->Label1.caption(), g("【提示信息】初始化完毕，您现在可以使用软件替换文章了"));
    EXPECT_EQ(form->bsSkinPageControl1.activePage(), 2);
    EXPECT_EQ(form->UserId, "9");
    EXPECT_NE(form->Cipher, nullptr);
    EXPECT_EQ(form->edt3.text(), programDir.dirText() + "input");
    EXPECT_EQ(form->edt4.text(), programDir.dirText() + "output");
    EXPECT_EQ(form->lbl20.address(), form->edt4.text());
    EXPECT_EQ(form->bsSelDir1.initialDir, programDir.dirText());
    EXPECT_EQ(form->wb1.url(), vendor::baseAddress() + "/tychelp.html?V2.0");
    EXPECT_EQ(form->WebBrowser1.url(), vendor::baseAddress() + "/softad/tyc.html?qun2.0_test");
    // No start-up step creates the batch directories, and nothing lands in the
    // working directory but what was there.
    EXPECT_FALSE(fs::exists(programDir.path() / "input"));
    EXPECT_FALSE(fs::exists(workDir.path() / "config.txt"));
}

TEST_F(StartupTest, MissingOrBrokenDatabaseShowsMessageAndEnds) {
    const std::string message = g("文件不完整“setting.dat”不存在");
    auto expectEnd = [&](const char* what) {
        SCOPED_TRACE(what);
        platform.calls.clear();
        platform.terminated = false;
        platform.exitCode = 0;
        auto form = start();
        EXPECT_TRUE(platform.terminated);
        EXPECT_NE(platform.exitCode, 0);
        ASSERT_EQ(platform.count("message"), 1);
        EXPECT_EQ(platform.calls.back().what, "terminate");
        EXPECT_EQ(platform.calls[platform.calls.size() - 2].text, message);
        // No later step ran: no load, no web pages.
        EXPECT_FALSE(form->ThesaurusLoaded);
        EXPECT_TRUE(form->Label1.caption().empty());
        EXPECT_TRUE(form->wb1.url().empty());
        EXPECT_FALSE(fs::exists(workDir.path() / "setting.dat") &&
                     fs::file_size(workDir.path() / "setting.dat") == 0);
    };
    expectEnd("missing");
    // The program never creates the file.
    EXPECT_FALSE(fs::exists(workDir.path() / "setting.dat"));

    writeFileBytes(workDir.path() / "setting.dat", "this is not a database at all, just text\n");
    expectEnd("not a database");

    fs::remove(workDir.path() / "setting.dat");
    {
        auto db = SqliteDb::openOrCreate((workDir.path() / "setting.dat").string());
        db.exec("CREATE TABLE other(x)");
    }
    expectEnd("no keyword table");
    // A database found in the program directory does not count.
    fs::remove(workDir.path() / "setting.dat");
    makeDatabase(programDir.path() / "setting.dat", {{"甲", "乙"}});
    expectEnd("database beside the program only");
}

TEST_F(StartupTest, ConfigFileReadingAndRewriting) {
    makeDatabase(workDir.path() / "setting.dat", {});
    struct Case {
        const char* name;
        std::optional<std::string> before;
        std::string account, password;
    };
    const Case cases[] = {
        {"missing file", std::nullopt, "", ""},
        {"lone LF, no final break", std::string("a@b.cn\nsecret"), "a@b.cn", "secret"},
        {"lone CR", std::string("acc\rpw\r"), "acc", "pw"},
        {"spaces kept", std::string(" acc \r\n pw \r\n"), " acc ", " pw "},
        {"third empty line loses the account", std::string("acc\r\npw\r\n\r\n"), "", ""},
        {"one line", std::string("acc\r\n"), "", ""},
        {"empty file", std::string(""), "", ""},
        {"GBK account", g("用户\r\n密码\r\n"), g("用户"), g("密码")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(configFile());
        if (c.before) writeFileBytes(configFile(), *c.before);
        auto form = start();
        EXPECT_EQ(form->edt2.text(), c.account);
        EXPECT_EQ(form->bsknpswrdt1.text(), c.password);
        ASSERT_EQ(form->ConfigLines.size(), 2u);
        EXPECT_EQ(readFileBytes(configFile()), c.account + "\r\n" + c.password + "\r\n");
        // The password is in clear: only the owner may read the file.
        struct stat st {};
        ASSERT_EQ(::stat(configFile().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }

    // A program folder beyond GBK, or not even UTF-8, is found by its bytes.
    for (const std::string& sub : {std::string("工具/한글😀"), std::string("raw\xFF\xC3")}) {
        const fs::path dir = programDir.path() / sub;
        fs::create_directories(dir);
        writeFileBytes(dir / "config.txt", "acc\r\npw\r\n");
        ScopedCwd cwd(workDir.path());
        TForm1 form(platform, FormOptions{gbkPath(dir.string() + "/"), 1});
        form.FormCreate();
        EXPECT_EQ(form.edt2.text(), "acc") << sub;
        EXPECT_EQ(fsPath(form.edt3.text()), dir.string() + "/input");
        EXPECT_EQ(readFileBytes(dir / "config.txt"), "acc\r\npw\r\n");
    }
}

mode_t modeOf(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
}

TEST_F(StartupTest, UnwritableProgramFolderKeepsConfigInTheUserFolder) {
    makeDatabase(workDir.path() / "setting.dat", {{"甲", "乙"}});
    TempDir user;
    const std::string xdg = (user.path() / "conf").string();
    ScopedEnv xdgHome("XDG_CONFIG_HOME", xdg.c_str());
    fs::create_directory(configFile()); // config.txt cannot be written beside the program
    const fs::path userFile = user.path() / "conf" / "wyc" / "config.txt";

    auto form = start();
    EXPECT_TRUE(platform.errors().empty());
    EXPECT_TRUE(form->ThesaurusLoaded);
    EXPECT_EQ(readFileBytes(userFile), "\r\n\r\n");
    EXPECT_EQ(modeOf(userFile), 0600u);
    EXPECT_EQ(modeOf(userFile.parent_path()), 0700u);
    // An account saved there is read at the next start, and saved there again.
    writeFileBytes(userFile, "acc\r\npw\r\n");
    form = start();
    EXPECT_EQ(form->edt2.text(), "acc");
    EXPECT_EQ(form->bsknpswrdt1.text(), "pw");
    form->ConfigLines = {"acc2", "pw2"};
    form->writeConfig();
    EXPECT_EQ(readFileBytes(userFile), "acc2\r\npw2\r\n");

    // Without XDG_CONFIG_HOME (a relative one does not count): ~/.config.
    {
        ScopedEnv relative("XDG_CONFIG_HOME", "conf");
        ScopedEnv home("HOME", user.path().c_str());
        form = start();
        EXPECT_EQ(readFileBytes(user.path() / ".config" / "wyc" / "config.txt"), "\r\n\r\n");
    }
    // A writable program folder is the place again; the user's copy is left alone.
    fs::remove(configFile());
    form = start();
    EXPECT_EQ(readFileBytes(configFile()), "\r\n\r\n");
    EXPECT_EQ(readFileBytes(userFile), "acc2\r\npw2\r\n");
    EXPECT_TRUE(platform.errors().empty());
}

TEST_F(StartupTest, ProgramInASystemFolderKeepsConfigInTheUserFolder) {
    makeDatabase(workDir.path() / "setting.dat", {{"甲", "乙"}});
    TempDir user;
    ScopedEnv xdgHome("XDG_CONFIG_HOME", user.str().c_str());
    ScopedCwd cwd(workDir.path());
    TForm1 form(platform, FormOptions{"/usr/bin/", 1});
    form.FormCreate();
    EXPECT_TRUE(platform.errors().empty());
    EXPECT_EQ(readFileBytes(user.path() / "wyc" / "config.txt"), "\r\n\r\n");
    EXPECT_FALSE(fs::exists("/usr/bin/config.txt"));
}

// The program as installed (bin/ beside share/wyc/ with the starter thesaurus),
// started from a folder without setting.dat.
TEST_F(StartupTest, WithoutWorkingFileTheUsersThesaurusIsMadeOnceAndNeverReplaced) {
    TempDir install, data;
    fs::create_directories(install.path() / "bin");
    fs::create_directories(install.path() / "share" / "wyc");
    writeFileBytes(install.path() / "share" / "wyc" / "synonyms.txt", "美丽\t漂亮\n");
    ScopedEnv xdg("XDG_DATA_HOME", data.str().c_str());
    const fs::path userFile = data.path() / "wyc" / "setting.dat";
    auto startInstalled = [&] {
        platform.calls.clear();
        platform.terminated = false;
        ScopedCwd cwd(workDir.path());
        auto form = std::make_unique<TForm1>(platform, FormOptions{install.dirText() + "bin/", 1});
        form->FormCreate();
        return form;
    };
    const std::string loaded = g("【提示信息】初始化完毕，您现在可以使用软件替换文章了");

    auto form = startInstalled();
    EXPECT_FALSE(platform.terminated);
    EXPECT_EQ(form->OriginalWords, StringList{g("美丽")});
    EXPECT_EQ(form->Label1.caption(),
              g("【提示信息】初始化完毕，已用初始词库新建 ") + userFile.string());
    form = startInstalled();
    EXPECT_EQ(form->Label1.caption(), loaded) << "the note is said once";

    // A damaged file is refused by its name and left as it is.
    writeFileBytes(userFile, "damaged");
    form = startInstalled();
    EXPECT_TRUE(platform.terminated);
    ASSERT_EQ(platform.count("message"), 1);
    EXPECT_NE(platform.calls[platform.calls.size() - 2].text.find(userFile.string()),
              std::string::npos);
    EXPECT_EQ(readFileBytes(userFile), "damaged");
    // The working folder's file comes first, as before.
    makeDatabase(workDir.path() / "setting.dat", {{"甲", "乙"}});
    form = startInstalled();
    EXPECT_FALSE(platform.terminated);
    EXPECT_EQ(form->OriginalWords, StringList{g("甲")});
}

TEST_F(StartupTest, NoWritablePlaceForConfigIsReportedAndStartupGoesOn) {
    makeDatabase(workDir.path() / "setting.dat", {{"甲", "乙"}});
    TempDir user;
    writeFileBytes(user.path() / "conf", "a file where the folder should be");
    const std::string xdg = (user.path() / "conf").string();
    ScopedEnv xdgHome("XDG_CONFIG_HOME", xdg.c_str());
    fs::create_directory(configFile());
    auto form = start();
    EXPECT_FALSE(platform.terminated);
    ASSERT_EQ(platform.errors().size(), 1u);
    EXPECT_NE(platform.errors()[0].find("config.txt"), std::string::npos);
    // The steps after the config file ran: the thesaurus is open and loaded.
    EXPECT_NE(form->Database, nullptr);
    EXPECT_TRUE(form->ThesaurusLoaded);
    EXPECT_FALSE(form->wb1.url().empty());
}

} // namespace
