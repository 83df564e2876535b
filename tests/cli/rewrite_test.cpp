// wyc-cli rewrite run as a program on files in both encodings.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <sys/wait.h>

#include "engine/shuffle.h"
#include "protocol/codepage.h"
#include "support/fixtures.h"
#include "thesaurus/keyword_store.h"
#include "thesaurus/protect_store.h"

namespace {

struct RewriteCliTest : ::testing::Test {
    TempDir dir;
    std::string out, err;

    void SetUp() override {
        if (!std::getenv("WYC_BUILD_DIR")) GTEST_SKIP() << "WYC_BUILD_DIR not set";
        // In use, in ascending id: a chain (美丽 -> 漂亮 -> 好看) and an unused pair.
        makeDatabase(dir.path() / "setting.dat",
                     {{"美丽", "漂亮"}, {"花", "草", false}, {"漂亮", "好看"}, {"中国", "中华"}});
    }
    // Runs "wyc-cli rewrite ARGS" in the temporary directory.
    int run(const std::string& args, const std::string& stdinFile = "/dev/null") {
        const std::string bin = std::string(std::getenv("WYC_BUILD_DIR")) + "/src/cli/wyc-cli";
        const std::string cmd = "cd '" + dir.str() + "' && '" + bin + "' rewrite " + args + " <" +
                                stdinFile + " >out.txt 2>err.txt";
        const int rc = std::system(cmd.c_str());
        out = readFileBytes(dir.path() / "out.txt");
        err = readFileBytes(dir.path() / "err.txt");
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }
    void write(const std::string& name, const std::string& bytes) {
        writeFileBytes(dir.path() / name, bytes);
    }
};

TEST_F(RewriteCliTest, SynonymsOnGbkAndUtf8Files) {
    write("a.txt", g("美丽的花，中国。\r\n"));
    ASSERT_EQ(run("a.txt"), 0) << err;
    EXPECT_EQ(out, g("好看的花，中华。\r\n"));

    write("u.txt", "美丽的中国😀\n");
    ASSERT_EQ(run("--encoding utf-8 u.txt"), 0) << err;
    EXPECT_EQ(out, "好看的中华😀\n");
    ASSERT_EQ(run("--encoding=UTF-8 --no-synonyms u.txt"), 0) << err;
    EXPECT_EQ(out, "美丽的中国😀\n");

    // By default each file is read and written in its own encoding.
    std::u16string utf16 = u"\uFEFF美丽𠮷\r\n";
    std::string le;
    for (char16_t u : utf16) {
        le += static_cast<char>(u & 0xFF);
        le += static_cast<char>(u >> 8);
    }
    write("w.txt", le); // as a Windows editor saves "Unicode"
    write("bom.txt", "\xEF\xBB\xBF美丽");
    write("plain.txt", "ok, fine");
    write("bad.txt", "\xFF\x81\x30 \xC3");
    const struct {
        const char* file;
        std::string out;
    } cases[] = {
        {"a.txt", g("好看的花，中华。\r\n")},
        {"u.txt", "好看的中华😀\n"},
        {"w.txt", "\xEF\xBB\xBF好看𠮷\r\n"},
        {"bom.txt", "\xEF\xBB\xBF好看"},
        {"plain.txt", "ok, fine"},
        {"bad.txt", "\xFF\x81\x30 \xC3"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(run(c.file), 0) << err;
        EXPECT_EQ(out, c.out) << c.file;
        EXPECT_EQ(err.find("UTF-16") != std::string::npos, c.file == std::string("w.txt"));
    }
    ASSERT_EQ(run("--encoding gbk u.txt"), 0) << err; // forced: bytes as they are
    EXPECT_EQ(out, "美丽的中国😀\n");

    // Standard input when no file is given, and '-' among files.
    ASSERT_EQ(run("", "a.txt"), 0) << err;
    EXPECT_EQ(out, g("好看的花，中华。\r\n"));
    write("b.txt", g("花"));
    ASSERT_EQ(run("b.txt - b.txt", "a.txt"), 0) << err;
    EXPECT_EQ(out, g("花好看的花，中华。\r\n花"));

    ASSERT_EQ(run("--db other.dat --no-synonyms b.txt"), 0) << err;
    EXPECT_EQ(out, g("花"));
}

TEST_F(RewriteCliTest, ShuffleOptions) {
    const std::string article = g("美丽 的花，中国。好！\r\n第二 段: a b.");
    write("a.txt", article);
    ASSERT_EQ(run("--shuffle --seed 42 a.txt"), 0) << err;
    const std::string first = out;
    ASSERT_EQ(run("--shuffle --seed=42 a.txt"), 0) << err;
    EXPECT_EQ(out, first);

    // The same as the engine with the same seed, after the synonyms.
    auto expected = [&](const engine::ShuffleOptions& o, std::uint64_t seed) {
        std::mt19937_64 rng(seed);
        engine::MatchTexts matches;
        return engine::daluan(g("好看 的花，中华。好！\r\n第二 段: a b."), o, rng, matches);
    };
    engine::ShuffleOptions o;
    EXPECT_EQ(first, expected(o, 42));
    o.stripSpaces = false;
    o.stripBreaks = true;
    o.keyword = g("关键词");
    o.frequency = 2;
    ASSERT_EQ(run("--shuffle --keep-spaces --strip-breaks --keyword 关键词 --frequency 2 "
                  "--seed 7 a.txt"),
              0)
        << err;
    EXPECT_EQ(out, expected(o, 7));
    EXPECT_EQ(out.find('\n'), std::string::npos);

    // In UTF-8 the result comes back as UTF-8.
    write("u.txt", "甲，乙。丙！");
    ASSERT_EQ(run("--encoding utf-8 --shuffle --seed 20 u.txt"), 0) << err;
    EXPECT_EQ(out, "丙！\r\n。甲，乙。");
}

TEST_F(RewriteCliTest, FailuresExitOneWithoutPartialOutput) {
    write("a.txt", g("美丽"));
    EXPECT_EQ(run("--db missing.dat a.txt"), 1);
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("missing.dat"), std::string::npos) << err;

    // An unreadable or refused file is reported; the others are still
    // written. Standard input may be a pipe, but is read only up to 64 MB.
    for (const char* bad : {"nothere.txt", "/dev/zero"}) {
        EXPECT_EQ(run(std::string("a.txt ") + bad + " a.txt"), 1) << bad;
        EXPECT_EQ(out, g("好看好看"));
        EXPECT_NE(err.find(std::string("rewrite: ") + bad + ": "), std::string::npos) << err;
    }
    EXPECT_EQ(run("-", "/dev/zero"), 1);
    EXPECT_NE(err.find("64 MB"), std::string::npos) << err;

    for (const char* f : {"1", "31", "-3"}) {
        EXPECT_EQ(run(std::string("--shuffle --keyword k --frequency ") + f + " a.txt"), 1) << f;
        EXPECT_EQ(out, "");
        EXPECT_NE(err.find("frequency"), std::string::npos) << err;
    }
}

TEST_F(RewriteCliTest, UsageErrorsAndHelp) {
    for (const char* args : {"--bogus", "--frequency", "--frequency five", "--seed -1",
                             "--encoding", "--encoding latin1", "--shuffle=yes", "--db"}) {
        EXPECT_EQ(run(args), 2) << args;
        EXPECT_EQ(out, "") << args;
        EXPECT_NE(err.find("usage: wyc-cli rewrite"), std::string::npos) << args;
    }
    ASSERT_EQ(run("--help"), 0);
    for (const char* option :
         {"--db", "--no-synonyms", "--shuffle", "--keep-spaces", "--strip-breaks", "--keyword",
          "--frequency", "--seed", "--encoding", "FILE"})
        EXPECT_NE(out.find(option), std::string::npos) << option;
}

} // namespace

namespace {

TEST_F(RewriteCliTest, ProtectedWordsAndTheReport) {
    write("a.txt", g("美丽的中国，美丽。"));
    // Stored in the database, and given for one run.
    protect::add(KeywordStore::open((dir.path() / "setting.dat").string())->db(), g("中国"));
    ASSERT_EQ(run("--report a.txt"), 0) << err;
    EXPECT_EQ(out, g("好看的中国，好看。"));
    // 美丽 twice by the first pair, the two 漂亮 by the third; none of the
    // result's four shingles (好看的中 ... 中国好看) is in the article: 100.
    EXPECT_EQ(err, "a.txt\t100\t4\n");
    ASSERT_EQ(run("--report --protect 美丽 -", dir.str() + "/a.txt"), 0) << err;
    EXPECT_EQ(out, g("美丽的中国，美丽。"));
    EXPECT_EQ(err, "-\t0\t0\n");
    // Without synonyms the database is not read: only --protect counts.
    ASSERT_EQ(run("--no-synonyms --report a.txt"), 0) << err;
    EXPECT_EQ(err, "a.txt\t0\t0\n");
}

} // namespace

namespace {

// Without --db, in a folder without setting.dat: the user's own thesaurus.
TEST(RewriteCliDefaultDatabase, EmptyFolderUsesTheUsersThesaurus) {
    if (!std::getenv("WYC_BUILD_DIR")) GTEST_SKIP() << "WYC_BUILD_DIR not set";
    const std::string bin = std::string(std::getenv("WYC_BUILD_DIR")) + "/src/cli/wyc-cli";
    TempDir work, data;
    ScopedEnv xdg("XDG_DATA_HOME", data.str().c_str());
    writeFileBytes(work.path() / "a.txt", "美丽的花\n");
    auto run = [&](const std::string& args) {
        const std::string cmd = "cd '" + work.str() + "' && '" + bin + "' " + args + " >'" +
                                data.str() + "/out' 2>'" + data.str() + "/err'";
        const int rc = std::system(cmd.c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    };
    // No file anywhere, and this build has no installed starter to make one from.
    EXPECT_EQ(run("rewrite a.txt"), 1);
    EXPECT_NE(readFileBytes(data.path() / "err").find("starter"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(data.path() / "wyc"));

    std::filesystem::create_directory(data.path() / "wyc");
    makeDatabase(data.path() / "wyc" / "setting.dat", {{"美丽", "漂亮"}});
    ASSERT_EQ(run("rewrite a.txt"), 0) << readFileBytes(data.path() / "err");
    EXPECT_EQ(readFileBytes(data.path() / "out"), "漂亮的花\n");
    EXPECT_EQ(run("thesaurus list"), 0);
    EXPECT_EQ(readFileBytes(data.path() / "out"), "1\t美丽\t漂亮\t是\n");
    EXPECT_FALSE(std::filesystem::exists(work.path() / "setting.dat"));

    EXPECT_EQ(run("--version"), 0);
    EXPECT_EQ(readFileBytes(data.path() / "out").rfind("wyc-cli ", 0), 0u);
}

} // namespace
