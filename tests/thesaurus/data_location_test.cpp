// Where setting.dat is found: the working folder first, then the user's data
// folder, made there from the starter thesaurus on the first start; a file
// that is there is never replaced, whatever its state.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <vector>

#include "support/fixtures.h"
#include "thesaurus/data_location.h"
#include "thesaurus/keyword_store.h"

namespace fs = std::filesystem;
using datafile::DataFileError;
using datafile::Origin;

namespace {

// What a place holds before the lookup.
enum class Content { Nothing, Thesaurus, Garbage, Folder, DanglingLink, NoKeywordTable };

void put(const fs::path& file, Content content, const std::vector<PairSpec>& pairs) {
    if (content == Content::Nothing) return;
    fs::create_directories(file.parent_path());
    switch (content) {
    case Content::Nothing:
        break;
    case Content::Thesaurus:
        makeDatabase(file, pairs);
        break;
    case Content::Garbage:
        writeFileBytes(file, "not a database, just some text\n");
        break;
    case Content::Folder:
        fs::create_directory(file);
        break;
    case Content::DanglingLink:
        fs::create_symlink(file.parent_path() / "gone.dat", file);
        break;
    case Content::NoKeywordTable:
        makeDatabase(file, {});
        KeywordStore::open(file.string())->db().exec("DROP TABLE keyword");
        break;
    }
}

// The state of a place, to prove it was left as it was.
std::string stateOf(const fs::path& file) {
    const fs::file_status st = fs::symlink_status(file);
    if (fs::is_symlink(st)) return "link to " + fs::read_symlink(file).string();
    if (fs::is_directory(st)) return "folder";
    if (fs::is_regular_file(st)) return "file " + readFileBytes(file);
    return "nothing";
}

mode_t modeOf(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
}

enum class Outcome { Working, User, Made, NotFound, Unusable, NotMade };

struct DataLocationTest : ::testing::Test {
    TempDir root;
    fs::path home = root.path() / "home";
    fs::path userDir = home / ".local" / "share" / "wyc";
    fs::path starter = root.path() / "share" / "wyc" / "synonyms.txt";

    datafile::Places places() const {
        return {(root.path() / "work" / "setting.dat").string(), userDir.string(),
                starter.string()};
    }
    void writeStarter() {
        fs::create_directories(starter.parent_path());
        writeFileBytes(starter, "# the starter\n美丽\t漂亮\n迅速\t快速\nno tab here\n大\t巨大\n");
    }
};

TEST_F(DataLocationTest, WorkingFolderThenUserFolderThenStarter) {
    struct Case {
        const char* name;
        Content working, user;
        bool starter;
        Outcome outcome;
        size_t pairs = 0; // of the file opened
    };
    const Case cases[] = {
        {"working folder first", Content::Thesaurus, Content::Thesaurus, true, Outcome::Working, 1},
        {"a damaged working file is refused, not passed over", Content::Garbage, Content::Thesaurus,
         true, Outcome::Unusable},
        {"a dangling link in the working folder counts as there", Content::DanglingLink,
         Content::Nothing, true, Outcome::Unusable},
        {"the user's file", Content::Nothing, Content::Thesaurus, true, Outcome::User, 2},
        {"the user's file without a starter", Content::Nothing, Content::Thesaurus, false,
         Outcome::User, 2},
        {"first start: made from the starter", Content::Nothing, Content::Nothing, true,
         Outcome::Made, 3},
        {"no file and no starter", Content::Nothing, Content::Nothing, false, Outcome::NotFound},
        {"damaged user file kept", Content::Nothing, Content::Garbage, true, Outcome::Unusable},
        {"user file without the table kept", Content::Nothing, Content::NoKeywordTable, true,
         Outcome::Unusable},
        {"a folder in the file's place kept", Content::Nothing, Content::Folder, true,
         Outcome::Unusable},
        {"a dangling link in the user folder kept", Content::Nothing, Content::DanglingLink, true,
         Outcome::Unusable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(root.path());
        fs::create_directories(root.path() / "work");
        const datafile::Places p = places();
        put(p.workingFile, c.working, {{"甲", "乙"}});
        put(userDir / "setting.dat", c.user, {{"丙", "丁"}, {"戊", "己"}});
        if (c.starter) writeStarter();
        const std::string workingBefore = stateOf(p.workingFile);
        const std::string userBefore = stateOf(userDir / "setting.dat");

        std::optional<datafile::Opened> opened;
        std::optional<DataFileError> error;
        try {
            opened = datafile::open(p);
        } catch (const DataFileError& e) {
            error = e;
        }

        switch (c.outcome) {
        case Outcome::Working:
        case Outcome::User:
        case Outcome::Made: {
            ASSERT_TRUE(opened) << (error ? error->what() : "");
            const Origin origin = c.outcome == Outcome::Working ? Origin::WorkingFolder
                                  : c.outcome == Outcome::User  ? Origin::UserFolder
                                                                : Origin::MadeFromStarter;
            EXPECT_EQ(opened->where.origin, origin);
            EXPECT_EQ(opened->where.path, origin == Origin::WorkingFolder
                                              ? p.workingFile
                                              : (userDir / "setting.dat").string());
            EXPECT_EQ(opened->store->count(), static_cast<std::int64_t>(c.pairs));
            break;
        }
        case Outcome::NotFound:
        case Outcome::Unusable:
        case Outcome::NotMade:
            ASSERT_TRUE(error);
            EXPECT_EQ(error->kind(), c.outcome == Outcome::NotFound ? DataFileError::Kind::NotFound
                                     : c.outcome == Outcome::Unusable
                                         ? DataFileError::Kind::Unusable
                                         : DataFileError::Kind::NotMade);
            break;
        }
        // Nothing that was there is changed; nothing is made but on a first start.
        EXPECT_EQ(stateOf(p.workingFile), workingBefore);
        if (c.outcome != Outcome::Made) {
            EXPECT_EQ(stateOf(userDir / "setting.dat"), userBefore);
        }
        if (c.user == Content::Nothing && c.outcome != Outcome::Made) {
            EXPECT_FALSE(fs::exists(home)) << "folders made for nothing";
        }
    }
}

TEST_F(DataLocationTest, FirstStartMakesPrivateFolderAndFileOnce) {
    writeStarter();
    fs::create_directories(home);
    const datafile::Location made = datafile::locate(places());
    EXPECT_EQ(made.origin, Origin::MadeFromStarter);
    // Every folder the lookup made is its owner's only, and so is the file.
    for (const fs::path& dir : {home / ".local", home / ".local" / "share", userDir})
        EXPECT_EQ(modeOf(dir), 0700u) << dir;
    EXPECT_EQ(modeOf(made.path), 0600u);
    // Only the file is left behind, no temporary one.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(userDir))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"setting.dat"});
    // The pairs in the starter's order, all in use; the malformed line left out.
    const auto records = KeywordStore::open(made.path)->readAll();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].ow, g("美丽"));
    EXPECT_EQ(records[2].nw, g("巨大"));
    EXPECT_TRUE(records[1].isused);
    // The next start finds it: the note of a first start is said once.
    EXPECT_EQ(datafile::locate(places()).origin, Origin::UserFolder);
}

TEST_F(DataLocationTest, ProgramsStartingTogetherShareOneCompleteFile) {
    writeStarter();
    std::vector<datafile::Location> found(4);
    std::vector<std::thread> threads;
    for (auto& slot : found)
        threads.emplace_back([&] { slot = datafile::locate(places()); });
    for (auto& t : threads)
        t.join();
    int made = 0;
    for (const auto& where : found) {
        made += where.origin == Origin::MadeFromStarter;
        EXPECT_EQ(where.path, (userDir / "setting.dat").string());
    }
    EXPECT_EQ(made, 1);
    EXPECT_EQ(KeywordStore::open((userDir / "setting.dat").string())->count(), 3);
    EXPECT_EQ(std::distance(fs::directory_iterator(userDir), fs::directory_iterator()), 1);
}

TEST_F(DataLocationTest, FailuresToMakeLeaveNothingBehind) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        DataFileError::Kind kind;
    };
    const Case cases[] = {
        {"a file where the user folder should be",
         [&] {
             writeStarter();
             fs::create_directories(userDir.parent_path());
             writeFileBytes(userDir, "in the way");
         },
         DataFileError::Kind::NotMade},
        {"the starter cannot be read", [&] { fs::create_directories(starter); },
         DataFileError::Kind::NotMade},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(root.path());
        fs::create_directories(root.path());
        c.arrange();
        const std::string before = stateOf(userDir);
        try {
            datafile::locate(places());
            ADD_FAILURE() << "no error";
        } catch (const DataFileError& e) {
            EXPECT_EQ(e.kind(), c.kind);
            EXPECT_NE(std::string(e.what()).find(userDir.string()), std::string::npos) << e.what();
            EXPECT_NE(datafile::failureText(e).find(cp::fsToGbk(userDir.string())),
                      std::string::npos);
        }
        EXPECT_EQ(stateOf(userDir), before);
    }
}

TEST(DataLocationPlaces, UserFolderFromTheEnvironment) {
    struct Case {
        const char* xdg;
        const char* home;
        std::string expected;
    };
    const Case cases[] = {
        {"/x/data", "/home/u", "/x/data/wyc"},
        {"relative/data", "/home/u", "/home/u/.local/share/wyc"},
        {"", "/home/u", "/home/u/.local/share/wyc"},
        {nullptr, "/home/u", "/home/u/.local/share/wyc"},
        {nullptr, "relative", ""},
        {nullptr, nullptr, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.xdg ? c.xdg : "(unset)") + " " + (c.home ? c.home : "(unset)"));
        ScopedEnv xdg("XDG_DATA_HOME", c.xdg);
        ScopedEnv home("HOME", c.home);
        EXPECT_EQ(datafile::userDataDir(), c.expected);
        EXPECT_EQ(datafile::placesFor("/usr/bin/").userDir, c.expected);
    }
    EXPECT_EQ(datafile::placesFor("/usr/bin/").starterList, "/usr/bin/../share/wyc/synonyms.txt");
    EXPECT_EQ(datafile::placesFor("/usr/bin/").workingFile, "setting.dat");
}

TEST(DataLocationTexts, WindowMessages) {
    const std::string classic = g("文件不完整“setting.dat”不存在");
    using Kind = DataFileError::Kind;
    // The working folder's file, or none at all: the program's long-standing message.
    EXPECT_EQ(datafile::failureText({Kind::NotFound, Origin::UserFolder, "/h/wyc/setting.dat", ""}),
              classic);
    EXPECT_EQ(datafile::failureText({Kind::Unusable, Origin::WorkingFolder, "setting.dat", ""}),
              classic);
    // The user's file is named, with the reason, and said to be unchanged.
    const std::string damaged = datafile::failureText(
        {Kind::Unusable, Origin::UserFolder, "/h/数据/setting.dat", "file is not a database"});
    EXPECT_NE(damaged.find(g("/h/数据/setting.dat")), std::string::npos);
    EXPECT_NE(damaged.find(g("没有改动它")), std::string::npos);
    EXPECT_NE(damaged.find("file is not a database"), std::string::npos);
    const std::string made = g("【提示信息】初始化完毕，已用初始词库新建 ");
    const datafile::Location location{"/h/wyc/setting.dat", Origin::MadeFromStarter};
    const std::pair<const char*, const char*> homes[] = {{"/h", "~/wyc/setting.dat"},
                                                         {"/h/", "/h/wyc/setting.dat"},
                                                         {"/hx", "/h/wyc/setting.dat"},
                                                         {"/", "/h/wyc/setting.dat"}};
    for (const auto& [home, shown] : homes) {
        ScopedEnv env("HOME", home);
        EXPECT_EQ(datafile::madeNote(location), made + shown) << home;
    }
}

} // namespace
