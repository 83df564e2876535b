// The operator's commands on a running server's store, the ledger of points,
// and a backup restored and served.
#include <sys/stat.h>

#include <cstdlib>
#include <random>
#include <sstream>

#include "server/admin.h"
#include "server/storage.h"
#include "server_fixture.h"
#include "support/client_targets.h"

namespace {

bool accepted(const std::string& answer) {
    return answer.rfind("ok|", 0) == 0 || answer.find("共享成功") != std::string::npos;
}

class AdminTest : public ServerTest {
  protected:
    struct Run {
        int status;
        std::string out, err;
    };
    Run admin(std::vector<std::string> args, const std::string& input = {}) {
        std::istringstream in(input);
        std::ostringstream out, err;
        auto store = openStore();
        const int status = wycserver::runAdminCommand(*store, args, in, out, err);
        return {status, out.str(), err.str()};
    }
    std::int64_t points(const std::string& id) {
        return server->storage().findAccount(std::stoll(id))->points;
    }
};

TEST_P(AdminTest, CommandsChangeTheAccountsAndThePairs) {
    const std::string id = newUser("member", "pw");
    const std::string other = newUser("spammer", "pw");
    sharePairs({{"甲", "乙"}});
    for (const char* w : {"广告一", "广告二", "广告三"})
        ASSERT_TRUE(accepted(shareRequest(other, w, "垃圾")));
    // Five wrong passwords from one address block the pair.
    HttpClient away("127.0.0.1", server->port());
    away.setSourceAddress("127.0.9.9");
    for (int i = 0; i < 5; ++i)
        away.get(loginTarget("member", "wrong"));

    struct Step {
        std::vector<std::string> args;
        std::string input;
        int status;
        std::string says;                     // in the output (or the errors)
        std::function<void()> effect = [] {}; // checked after the command
    };
    const Step steps[] = {
        {{"grant", id, "25", "made", "up", "for", "an", "outage"},
         "",
         0,
         "125 points",
         [&] { EXPECT_EQ(points(id), 125); }},
        {{"take", "member", "30", "refund"}, "", 0, "95 points"},
        {{"take", id, "96", "too much"}, "", 1, "only 95", [&] { EXPECT_EQ(points(id), 95); }},
        {{"grant", id, "0", "nothing"}, "", 2, "POINTS"},
        {{"grant", "nobody", "5", "x"}, "", 1, "no account"},
        {{"show", id}, "", 0, "made up for an outage", [&] { EXPECT_EQ(points(id), 95); }},
        {{"unlock", "member"},
         "",
         0,
         "lifted",
         [&] { EXPECT_TRUE(accepted(away.get(loginTarget("member", "pw"))->body)); }},
        {{"disable", id},
         "",
         0,
         "disabled",
         [&] {
             EXPECT_FALSE(accepted(login("member", "pw")));
             EXPECT_FALSE(accepted(pointsRequest(id, "甲", "乙")));
         }},
        {{"enable", id}, "", 0, "enabled", [&] { EXPECT_TRUE(accepted(login("member", "pw"))); }},
        {{"password", id},
         "新密码\n",
         0,
         "new password",
         [&] {
             EXPECT_FALSE(accepted(pointsRequest(id, "甲", "乙"))); // its token has ended
             EXPECT_FALSE(accepted(login("member", "pw")));
             EXPECT_TRUE(accepted(login("member", g("新密码"))));
         }},
        {{"password", id}, "", 1, "no password"},
        {{"ban", other},
         "",
         0,
         "refused",
         [&] { EXPECT_FALSE(accepted(shareRequest(other, "又一个", "广告"))); }},
        {{"pairs", "list", "--sharer", other}, "", 0, "广告三\t垃圾\t" + other},
        {{"pairs", "list", "--word", "乙"}, "", 0, "\t甲\t乙\t"},
        {{"pairs", "delete"}, "", 2, "needs"},
        {{"pairs", "delete", "--sharer", other},
         "",
         0,
         "deleted 3 pairs",
         [&] { EXPECT_EQ(server->storage().pairCount(), 1); }},
        {{"unban", other},
         "",
         0,
         "allowed",
         [&] { EXPECT_TRUE(accepted(shareRequest(other, "正经词", "好词"))); }},
        {{"rename", id}, "", 2, "cannot understand"},
        {{}, "", 2, "missing"},
    };
    for (const auto& step : steps) {
        std::string line;
        for (const auto& a : step.args)
            line += a + " ";
        SCOPED_TRACE(line);
        const Run run = admin(step.args, step.input);
        EXPECT_EQ(run.status, step.status) << run.out << run.err;
        EXPECT_NE((run.out + run.err).find(step.says), std::string::npos) << run.out << run.err;
        step.effect();
    }
}

// Whatever happens to an account, its ledger adds up to its balance.
TEST_P(AdminTest, TheLedgerAddsUpToTheBalanceAfterAnyMix) {
    std::vector<std::pair<std::string, std::string>> shared;
    for (int i = 0; i < 40; ++i)
        shared.emplace_back("词" + std::to_string(i), "新");
    sharePairs(shared);
    std::vector<std::string> ids;
    for (int u = 0; u < 3; ++u)
        ids.push_back(newUser("mixer" + std::to_string(u), "pw"));
    std::mt19937 random(20240601);
    int shares = 0;
    for (int step = 0; step < 150; ++step) {
        const std::string& id = ids[random() % ids.size()];
        switch (random() % 5) {
        case 0:
        case 1: // a download, sometimes of a pair bought before or not shared
            pointsRequest(id, "词" + std::to_string(random() % 45), "新");
            break;
        case 2: // a share, sometimes of a pair already in
            shareRequest(id, "共享" + std::to_string(random() % 2 ? shares++ : 0), "新");
            break;
        case 3:
            admin({"grant", id, std::to_string(1 + random() % 20), "bonus"});
            break;
        case 4: // may be refused: never below zero
            admin({"take", id, std::to_string(1 + random() % 120), "penalty"});
            break;
        }
    }
    for (const auto& id : ids) {
        std::int64_t sum = 0;
        const auto entries = server->storage().ledger(std::stoll(id));
        for (const auto& e : entries) {
            EXPECT_NE(e.change, 0);
            sum += e.change;
        }
        EXPECT_EQ(sum, points(id)) << id;
        ASSERT_FALSE(entries.empty());
        EXPECT_EQ(entries.front().reason, wycserver::ledger::kSignUp);
    }
}

WYC_ON_BOTH_STORES(AdminTest);

class BackupTest : public ServerTest {};

// The drill: back up a store that is serving, start a server on the copy, and
// find everything there.
TEST_P(BackupTest, ABackupOfARunningServerServesTheSameUsers) {
    const std::string id = newUser("kept", "pw");
    sharePairs({{"备份", "保存"}});
    ASSERT_NE(pointsRequest(id, "备份", "保存").find("|99|"), std::string::npos);
    ASSERT_TRUE(accepted(shareRequest(id, "恢复", "还原")));
    const std::string copy = (dir->path() / "copy.db").string();
    const char* build = std::getenv("WYC_BUILD_DIR");
    ASSERT_TRUE(build);
    const std::string command = std::string(build) + "/server/wyc-server backup " + copy +
                                " --data " + dataFile + " > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    // It writes over nothing.
    ASSERT_NE(std::system(command.c_str()), 0);
    struct stat st {};
    ASSERT_EQ(::stat(copy.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const std::string livePage = pagePlain();

    server->stop();
    ServerOptions opt = serverOptions();
    opt.dataFile = copy;
    server = std::make_unique<wycserver::VendorServer>(opt);
    client = std::make_unique<HttpClient>("127.0.0.1", server->start());
    EXPECT_EQ(login("kept", "pw").rfind("ok|" + id + "|109|", 0), 0u);
    EXPECT_EQ(pagePlain(), livePage);
    EXPECT_NE(pointsRequest(id, "备份", "保存").find("不再扣分"), std::string::npos);
    EXPECT_EQ(server->storage().ledger(std::stoll(id)).size(), 3u);
}

WYC_ON_SQLITE(BackupTest);

} // namespace
