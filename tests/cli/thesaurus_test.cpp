// wyc-cli thesaurus run as a program: list, add, and the import/export round
// trip over setting.dat.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

#include "support/fixtures.h"
#include "thesaurus/keyword_store.h"

namespace {

struct ThesaurusCliTest : ::testing::Test {
    TempDir dir;
    std::string out, err;

    void SetUp() override {
        if (!std::getenv("WYC_BUILD_DIR")) GTEST_SKIP() << "WYC_BUILD_DIR not set";
    }
    // Runs "wyc-cli thesaurus ARGS" in the temporary directory.
    int run(const std::string& args) {
        const std::string bin = std::string(std::getenv("WYC_BUILD_DIR")) + "/src/cli/wyc-cli";
        const std::string cmd =
            "cd '" + dir.str() + "' && '" + bin + "' thesaurus " + args + " >out.txt 2>err.txt";
        int rc = std::system(cmd.c_str());
        out = readFileBytes(dir.path() / "out.txt");
        err = readFileBytes(dir.path() / "err.txt");
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }
    std::vector<KeywordRecord> records(const std::string& name = "setting.dat") {
        auto store = KeywordStore::open((dir.path() / name).string());
        std::vector<KeywordRecord> all;
        auto c = store->all();
        for (KeywordRecord r; c.next(r);)
            all.push_back(r);
        return all;
    }
};

TEST_F(ThesaurusCliTest, ExportImportRoundTrip) {
    makeDatabase(dir.path() / "setting.dat",
                 {{"美丽", "漂亮"}, {"它's", "\"引号\""}, {"快", "迅速", false}, {" 空格 ", "x"}});
    ASSERT_EQ(run("export words.txt"), 0) << err;
    EXPECT_EQ(readFileBytes(dir.path() / "words.txt"),
              g("美丽,漂亮,是\r\r\n它's,\"引号\",是\r\r\n快,迅速,否\r\r\n 空格 ,x,是\r\r\n"));

    makeDatabase(dir.path() / "fresh.dat", {});
    ASSERT_EQ(run("--db fresh.dat import words.txt"), 0) << err;
    EXPECT_EQ(out, "added: 4\nduplicates: 0\nmalformed: 0\n");
    auto a = records(), b = records("fresh.dat");
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].ow, b[i].ow);
        EXPECT_EQ(a[i].nw, b[i].nw);
        EXPECT_EQ(a[i].isused, b[i].isused);
    }
    ASSERT_EQ(run("import words.txt --db=fresh.dat"), 0);
    EXPECT_EQ(out, "added: 0\nduplicates: 4 (lines 1-4)\nmalformed: 0\n");

    ASSERT_EQ(run("--encoding utf-8 export -"), 0);
    EXPECT_EQ(out.substr(0, out.find('\n') + 1), "美丽,漂亮,是\r\r\n");
}

TEST_F(ThesaurusCliTest, ImportOfAHandWrittenUtf8File) {
    makeDatabase(dir.path() / "setting.dat", {{"美丽", "漂亮"}});
    writeFileBytes(dir.path() / "mine.txt", "\xEF\xBB\xBF"
                                            "美丽,漂亮\r\n"
                                            "高兴,快乐,是\r\n"
                                            "\r\n"
                                            "难过 悲伤\r\n"
                                            "好,,否\r\n"
                                            "大,巨大,否\r\n");
    ASSERT_EQ(run("import mine.txt --encoding utf-8"), 0) << err;
    EXPECT_EQ(out, "added: 2\nduplicates: 1 (line 1)\nmalformed: 2 (lines 4-5)\n");
    EXPECT_NE(err.find("mine.txt:4: no comma"), std::string::npos) << err;
    EXPECT_NE(err.find("mine.txt:5: empty new word"), std::string::npos) << err;
    auto all = records();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[2].nw, g("巨大"));
    EXPECT_FALSE(all[2].isused);

    // Without the option a UTF-8 file is still read as UTF-8, not as GBK.
    writeFileBytes(dir.path() / "more.txt", "开心,愉快\n");
    ASSERT_EQ(run("import more.txt"), 0) << err;
    EXPECT_EQ(records().back().ow, g("开心"));
    // A GBK file is the default.
    writeFileBytes(dir.path() / "gbk.txt", g("伤心,悲痛,否\r\r\n"));
    ASSERT_EQ(run("import gbk.txt"), 0) << err;
    EXPECT_EQ(records().back().nw, g("悲痛"));
    // UTF-16 as a Windows editor saves it, with a character outside GBK.
    std::string utf16 = "\xFF\xFE";
    for (char16_t u : std::u16string(u"笑,😀\r\n")) {
        utf16 += static_cast<char>(u & 0xFF);
        utf16 += static_cast<char>(u >> 8);
    }
    writeFileBytes(dir.path() / "w.txt", utf16);
    ASSERT_EQ(run("import w.txt"), 0) << err;
    EXPECT_EQ(records().back().nw, g("😀"));
}

TEST_F(ThesaurusCliTest, AFailedImportChangesNothing) {
    makeDatabase(dir.path() / "setting.dat", {{"a", "b"}});
    KeywordStore::open((dir.path() / "setting.dat").string())
        ->db()
        .exec("CREATE TRIGGER refuse BEFORE INSERT ON keyword WHEN NEW.ow='boom' "
              "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    writeFileBytes(dir.path() / "in.txt", "c,d\nboom,x\ne,f\n");
    EXPECT_EQ(run("import in.txt"), 1);
    EXPECT_NE(err.find("refused"), std::string::npos) << err;
    EXPECT_EQ(records().size(), 1u);

    writeFileBytes(dir.path() / "in.txt", "c,d\nbad line\n");
    EXPECT_EQ(run("--strict import in.txt"), 1);
    EXPECT_EQ(records().size(), 1u);
    EXPECT_EQ(run("import missing.txt"), 1);
    EXPECT_EQ(run("import /dev/zero"), 1);
    EXPECT_NE(err.find("not a regular file"), std::string::npos) << err;
    EXPECT_EQ(records().size(), 1u);
}

TEST_F(ThesaurusCliTest, AddListAndUsage) {
    makeDatabase(dir.path() / "setting.dat", {});
    ASSERT_EQ(run("add 美丽 漂亮"), 0) << err;
    ASSERT_EQ(run("add --unused \"it's\" 'a b'"), 0) << err;
    ASSERT_EQ(run("add 美丽 漂亮"), 0);
    EXPECT_NE(out.find("already stored as id 1"), std::string::npos);
    ASSERT_EQ(run("list"), 0);
    EXPECT_EQ(out, "1\t美丽\t漂亮\t是\n2\tit's\ta b\t否\n");

    // What import refuses, add refuses: it would not survive the round trip.
    for (const char* words : {"onlyone", "'' x", "'a\nb' x", "x 'a,b'", "' ' x", "x 'a\tb'"})
        EXPECT_EQ(run(std::string("add ") + words), 2) << words;
    EXPECT_EQ(records().size(), 2u);
    EXPECT_EQ(run("frobnicate"), 2);
    EXPECT_EQ(run("--encoding latin1 list"), 2);
    EXPECT_EQ(run("--help"), 0);
    EXPECT_NE(out.find("malformed"), std::string::npos);
    // The database is opened, never created.
    EXPECT_EQ(run("--db none.dat list"), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "none.dat"));
}

} // namespace

namespace {

TEST_F(ThesaurusCliTest, ProtectedWordsKeptInATableOfTheirOwn) {
    makeDatabase(dir.path() / "setting.dat", {{"美丽", "漂亮"}});
    ASSERT_EQ(run("protect list"), 0) << err;
    EXPECT_EQ(out, "");
    ASSERT_EQ(run("protect add 苹果手机"), 0) << err;
    ASSERT_EQ(run("protect add 美丽"), 0) << err;
    ASSERT_EQ(run("protect add 美丽"), 0) << err;
    EXPECT_EQ(out, "already protected: 美丽\n");
    ASSERT_EQ(run("protect list"), 0) << err;
    EXPECT_EQ(out, "苹果手机\n美丽\n");
    ASSERT_EQ(run("protect remove 苹果手机"), 0) << err;
    EXPECT_EQ(run("protect remove 苹果手机"), 1);
    ASSERT_EQ(run("protect list"), 0) << err;
    EXPECT_EQ(out, "美丽\n");
    EXPECT_EQ(run("protect add ' '"), 2);
    EXPECT_EQ(run("protect add"), 2);
    // The pairs are untouched and still read as before.
    ASSERT_EQ(run("list"), 0) << err;
    EXPECT_EQ(out, "1\t美丽\t漂亮\t是\n");
}

TEST_F(ThesaurusCliTest, CheckListsFindingsFromTheDatabaseOrAFile) {
    makeDatabase(dir.path() / "setting.dat",
                 {{"美丽", "漂亮"}, {"花", "草", false}, {"漂亮", "美丽"}, {"中国", "中华"}});
    ASSERT_EQ(run("check"), 3) << err;
    EXPECT_EQ(out, "undone\t1,3\t美丽→漂亮 漂亮→美丽\n");
    writeFileBytes(dir.path() / "list.txt", "# comment\n美丽\t漂亮\n\n好\t好\n");
    ASSERT_EQ(run("check --file list.txt"), 3) << err;
    EXPECT_EQ(out, "no-op\t4\t好→好\n");
    writeFileBytes(dir.path() / "list.txt", "美丽\t漂亮\n");
    EXPECT_EQ(run("check --file list.txt"), 0) << err;
    EXPECT_EQ(run("check --file missing.txt"), 1);
    EXPECT_EQ(run("--db missing.dat check"), 1);

    // With a word list: the pairs that fire inside longer words, with them.
    writeFileBytes(dir.path() / "list.txt", "大多\t多半\n能不能\t可否\n");
    writeFileBytes(dir.path() / "words.txt", "\xEF\xBB\xBF大多数 3609 m\n绝大多数 1322\n大多 9\n");
    ASSERT_EQ(run("check --file list.txt --words words.txt"), 3) << err;
    EXPECT_EQ(out, "inside a longer word\t1\t大多→多半\t大多数 绝大多数\n");
    ASSERT_EQ(run("check --file list.txt --words=words.txt --min-count 2000"), 3) << err;
    EXPECT_EQ(out, "inside a longer word\t1\t大多→多半\t大多数\n");
    EXPECT_EQ(run("check --file list.txt --words words.txt --min-count 4000"), 0) << err;
    EXPECT_EQ(run("check --file list.txt --words words.txt --min-count x"), 2);
    EXPECT_EQ(run("check --file list.txt --words missing.txt"), 1);
    writeFileBytes(dir.path() / "words.txt", g("大多数\n"));
    EXPECT_EQ(run("check --file list.txt --words words.txt"), 1);
    EXPECT_NE(err.find("not UTF-8"), std::string::npos) << err;
}

} // namespace
