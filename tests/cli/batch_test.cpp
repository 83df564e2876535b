// wyc-cli batch run as a program: a folder to files with the database's
// pairs and the shuffle, the summary and the exit status; web pages fetched
// from a loopback server.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

#include "net/loopback_server.h"
#include "support/fixtures.h"

namespace {

struct BatchCliTest : ::testing::Test {
    TempDir dir;
    std::string err;

    void SetUp() override {
        if (!std::getenv("WYC_BUILD_DIR")) GTEST_SKIP() << "WYC_BUILD_DIR not set";
        makeDatabase(dir.path() / "setting.dat", {{"美丽", "漂亮"}, {"中国", "中华"}});
        std::filesystem::create_directories(dir.path() / "in");
        std::filesystem::create_directories(dir.path() / "out");
    }
    int run(const std::string& args) {
        const std::string bin = std::string(std::getenv("WYC_BUILD_DIR")) + "/src/cli/wyc-cli";
        const std::string cmd =
            "cd '" + dir.str() + "' && '" + bin + "' batch " + args + " </dev/null 2>err.txt";
        const int rc = std::system(cmd.c_str());
        err = readFileBytes(dir.path() / "err.txt");
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }
};

TEST_F(BatchCliTest, FolderToFilesWithSummary) {
    writeFileBytes(dir.path() / "in" / "a.txt", g("美丽的中国\n"));
    writeFileBytes(dir.path() / "in" / "b.TXT", "");
    ASSERT_EQ(run("--source-dir in --target-dir out"), 0) << err;
    EXPECT_EQ(readFileBytes(dir.path() / "out" / "a.txt"), g("漂亮的中华\r\n"));
    EXPECT_NE(err.find("1 done, 1 empty, 0 failed"), std::string::npos) << err;
    // A result keeps its source's encoding: UTF-8 with a mark stays so, and
    // characters beyond GBK come through whole.
    writeFileBytes(dir.path() / "in" / "u.txt", "\xEF\xBB\xBF美丽的中国😀𠮷\n");
    ASSERT_EQ(run("--source-dir in --target-dir out"), 0) << err;
    EXPECT_EQ(readFileBytes(dir.path() / "out" / "u.txt"), "\xEF\xBB\xBF漂亮的中华😀𠮷\r\n");
    EXPECT_EQ(readFileBytes(dir.path() / "out" / "a.txt"), g("漂亮的中华\r\n"));

    // The shuffle with a seed is repeatable, and the same as wyc-cli rewrite's.
    writeFileBytes(dir.path() / "in" / "a.txt", g("美丽的花，中国。好！第二段。"));
    ASSERT_EQ(run("--source-dir in --target-dir out --shuffle --seed 9 --keyword K"), 0) << err;
    const std::string shuffled = readFileBytes(dir.path() / "out" / "a.txt");
    const std::string bin = std::string(std::getenv("WYC_BUILD_DIR")) + "/src/cli/wyc-cli";
    ASSERT_EQ(std::system(("cd '" + dir.str() + "' && '" + bin +
                           "' rewrite --shuffle --seed 9 --keyword K in/a.txt >r.txt")
                              .c_str()),
              0);
    EXPECT_EQ(shuffled, readFileBytes(dir.path() / "r.txt") + "\r\n"); // the result text

    // A missing target is made with its parents; one that cannot be made
    // (under a file) ends the command with status 1 before anything is done.
    EXPECT_EQ(run("--source-dir in --target-dir out/new/deeper"), 0) << err;
    EXPECT_EQ(readFileBytes(dir.path() / "out" / "new" / "deeper" / "a.txt"),
              g("漂亮的花，中华。好！第二段。\r\n"));
    EXPECT_EQ(run("--no-synonyms --source-dir in --target-dir in/a.txt/x"), 1);
    // A file it cannot write fails that item, the others are done: status 1.
    std::filesystem::create_directories(dir.path() / "blocked" / "a.txt");
    EXPECT_EQ(run("--source-dir in --target-dir blocked"), 1);
    EXPECT_NE(err.find("1 done, 1 empty, 1 failed"), std::string::npos) << err;
    // A list whose server does not answer: every line failed, named.
    writeFileBytes(dir.path() / "list.txt", "http://127.0.0.1:1/a\n\nhttp://127.0.0.1:1/b\n");
    EXPECT_EQ(run("--list list.txt --target-dir out"), 1);
    EXPECT_NE(err.find("0 done, 0 empty, 2 failed"), std::string::npos) << err;
    EXPECT_NE(err.find("http://127.0.0.1:1/b"), std::string::npos) << err;

    for (const char* args : {"", "--source-dir in", "--source-dir in --list l --post u",
                             "--source-dir in --post u --id-mode url",
                             "--list l --post u --id-mode name", "--source-dir in --post u x"})
        EXPECT_EQ(run(args), 2) << args;
}

TEST_F(BatchCliTest, ListOfPagesInGbkAndUtf8) {
    const std::string body =
        "<p>美丽的中国，清晨的公园里开满了鲜花，园丁们正在修剪树枝，孩子们在草地上追逐嬉戏，"
        "老人们坐在长椅上晒太阳，一切都显得那么安静而美好。</p>";
    auto pageIn = [&](const std::string& charset) {
        return "<!DOCTYPE html><html><head><meta charset=\"" + charset +
               "\"><title>美丽的中国</title></head><body><div class=\"nav\">"
               "<a href=\"/?q=美丽\">美丽</a></div><h1>美丽的中国</h1>" +
               body + "</body></html>";
    };
    auto kept = [&](std::string page) {
        for (auto [from, to] : {std::pair{"美丽的中国", "漂亮的中华"}, {">美丽", ">漂亮"}})
            for (size_t at; (at = page.find(from)) != std::string::npos;)
                page.replace(at, std::string(from).size(), to);
        return page;
    };
    LoopbackServer server;
    server.answer("/gbk", {200, g(pageIn("gb2312")), "", "", 0, "text/html; charset=GBK"});
    server.answer("/utf8", {200, pageIn("utf-8"), "", "", 0, "text/html"});
    const std::string stem = "http___127.0.0.1_" + std::to_string(server.port()) + "_";
    writeFileBytes(dir.path() / "list.txt", server.base() + "/gbk\n" + server.base() + "/utf8\n");

    // keep (the default): each page as a page in its own encoding, only its text changed.
    ASSERT_EQ(run("--list list.txt --target-dir out"), 0) << err;
    EXPECT_EQ(readFileBytes(dir.path() / "out" / (stem + "gbk_0.html")), g(kept(pageIn("gb2312"))));
    EXPECT_EQ(readFileBytes(dir.path() / "out" / (stem + "utf8_1.html")), kept(pageIn("utf-8")));

    // extract: the articles, as GBK text.
    ASSERT_EQ(run("--list list.txt --target-dir out --html extract"), 0) << err;
    const std::string article =
        g("漂亮的中华\r\n\r\n" + kept(body.substr(3, body.size() - 7)) + "\r\n");
    EXPECT_EQ(readFileBytes(dir.path() / "out" / (stem + "gbk_0.txt")), article);
    EXPECT_EQ(readFileBytes(dir.path() / "out" / (stem + "utf8_1.txt")), article);

    EXPECT_EQ(run("--list list.txt --target-dir out --html page"), 2);
}

} // namespace
