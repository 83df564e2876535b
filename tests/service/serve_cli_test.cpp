// wyc-cli serve as a program: it says where it listens, reloads on SIGHUP,
// stops on SIGTERM, and refuses to face the network without a token.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "service/service_fixture.h"
#include "sqlitedb/sqlite.h"
#include "support/raw_client.h"
#include "thesaurus/keyword_store.h"

namespace {

using namespace servicetest;
using Clock = std::chrono::steady_clock;

struct ServeCliTest : ::testing::Test {
    TempDir dir;
    pid_t pid = -1;

    void SetUp() override {
        if (!std::getenv("WYC_BUILD_DIR")) GTEST_SKIP() << "WYC_BUILD_DIR not set";
        makeServiceDatabase(dir.path() / "setting.dat");
    }
    void TearDown() override {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    // Starts wyc-cli serve ARGS in the temporary directory, its output in out.txt.
    void spawn(std::vector<std::string> args) {
        const std::string bin = std::string(std::getenv("WYC_BUILD_DIR")) + "/src/cli/wyc-cli";
        args.insert(args.begin(), {bin, "serve"});
        pid = fork();
        if (pid == 0) {
            if (chdir(dir.str().c_str()) != 0) _exit(127);
            const int out = open("out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(out, 1);
            dup2(out, 2);
            std::vector<char*> argv;
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    std::string output() { return readFileBytes(dir.path() / "out.txt"); }
    // The port it announced, or 0 after 10 s.
    int port() {
        const std::string prefix = "listening on http://127.0.0.1:";
        for (auto until = Clock::now() + std::chrono::seconds(10); Clock::now() < until;) {
            const std::string out = output();
            if (auto at = out.find(prefix); at != std::string::npos)
                return std::atoi(out.c_str() + at + prefix.size());
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return 0;
    }
    // Its exit status, or -1 when it has not ended within `ms`.
    int exitWithin(int ms) {
        for (auto until = Clock::now() + std::chrono::milliseconds(ms); Clock::now() < until;) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }
};

TEST_F(ServeCliTest, ReloadsOnHangupAndStopsOnTerm) {
    spawn({"--port", "0", "--seed", "1"});
    const int p = port();
    ASSERT_GT(p, 0) << output();
    HttpClient client("127.0.0.1", p);
    auto rewrite = [&] {
        auto r = client.post("/api/rewrite?format=text", "美丽的大海", "text/plain");
        return r ? r->body : "(no answer)";
    };
    EXPECT_EQ(rewrite(), "好看的大海");
    {
        auto store = KeywordStore::open((dir.path() / "setting.dat").string());
        store->append(g("大海"), g("海洋"), true);
    }
    kill(pid, SIGHUP);
    std::string now;
    for (auto until = Clock::now() + std::chrono::seconds(5); Clock::now() < until;) {
        if ((now = rewrite()) == "好看的海洋") break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(now, "好看的海洋");

    // A client that sends half a request does not hold the stop up.
    RawClient slow(p);
    slow.send("POST /api/rewrite HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n\r\nabc");
    const auto asked = Clock::now();
    kill(pid, SIGTERM);
    EXPECT_EQ(exitWithin(3000), 0) << output();
    EXPECT_LT(Clock::now() - asked, std::chrono::seconds(3));
}

TEST_F(ServeCliTest, RefusesOtherAddressesWithoutAToken) {
    spawn({"--bind", "0.0.0.0", "--port", "0"});
    EXPECT_EQ(exitWithin(5000), 1);
    EXPECT_NE(output().find("--token-file"), std::string::npos) << output();

    writeFileBytes(dir.path() / "empty-token", "\n");
    spawn({"--port", "0", "--token-file", "empty-token"});
    EXPECT_EQ(exitWithin(5000), 1);
    EXPECT_NE(output().find("holds no token"), std::string::npos) << output();
}

} // namespace
