// The service answers what `wyc-cli rewrite` writes for the same options and
// seed, byte for byte, whichever way the request is encoded.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sys/wait.h>

#include "service/service_fixture.h"

namespace {

using namespace servicetest;

const std::string kArticle = "美丽的花园里，中国的花很美丽。\n今天 天气　很好！漂亮的中国，"
                             "美丽的人们；花园里有花。\r\n明天天气也好？是的，美丽。\n";

struct OptionSet {
    const char* cli; // options of wyc-cli rewrite
    Pairs fields;    // the same as request fields
};

const OptionSet kOptionSets[] = {
    {"", {}},
    {"--no-synonyms --shuffle --seed 7", {{"synonyms", "0"}, {"shuffle", "1"}, {"seed", "7"}}},
    {"--shuffle --seed 42 --keyword 关键词 --frequency 3",
     {{"shuffle", "true"}, {"seed", "42"}, {"keyword", "关键词"}, {"frequency", "3"}}},
    {"--shuffle --keep-spaces --strip-breaks --seed 18446744073709551615",
     {{"shuffle", "on"},
      {"strip_spaces", "false"},
      {"strip_breaks", "yes"},
      {"seed", "18446744073709551615"}}},
    {"--protect 美丽 --protect 天气 --shuffle --seed 1",
     {{"protect", "美丽"}, {"protect", "天气"}, {"shuffle", "1"}, {"seed", "1"}}},
    {"--no-synonyms --shuffle --seed 3 --protect 中国",
     {{"synonyms", "off"}, {"shuffle", "1"}, {"seed", "3"}, {"protect", "中国"}}},
};

struct RewriteEquivalenceTest : ::testing::Test {
    TempDir dir;
    RunningService running;

    void SetUp() override {
        if (!std::getenv("WYC_BUILD_DIR")) GTEST_SKIP() << "WYC_BUILD_DIR not set";
        makeServiceDatabase(dir.path() / "setting.dat");
        writeFileBytes(dir.path() / "utf8.txt", kArticle);
        writeFileBytes(dir.path() / "gbk.txt", g(kArticle));
    }

    // wyc-cli rewrite's output and its report line (FILE\tORIGINALITY\tREPLACEMENTS).
    std::pair<std::string, std::string> cli(const std::string& options, const std::string& file,
                                            const char* encoding) {
        const std::string bin = std::string(std::getenv("WYC_BUILD_DIR")) + "/src/cli/wyc-cli";
        const std::string cmd = "cd '" + dir.str() + "' && '" + bin + "' rewrite --report " +
                                "--encoding " + encoding + " " + options + " " + file +
                                " >out.txt 2>err.txt";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        return {readFileBytes(dir.path() / "out.txt"), readFileBytes(dir.path() / "err.txt")};
    }

    HttpResult post(const std::string& target, const std::string& body, const std::string& type) {
        HttpClient client("127.0.0.1", running.port);
        auto reply = client.post(target, body, type);
        EXPECT_TRUE(reply);
        return reply ? *reply : HttpResult{};
    }
};

TEST_F(RewriteEquivalenceTest, EveryEncodingAnswersWhatTheCommandLineWrites) {
    service::ServiceOptions options;
    options.dbPath = (dir.path() / "setting.dat").string();
    running = startService(options);
    for (const OptionSet& set : kOptionSets) {
        SCOPED_TRACE(set.cli);
        const auto [expected, report] = cli(set.cli, "utf8.txt", "utf-8");
        const std::string reportTail = report.substr(report.find('\t'));
        ASSERT_NE(expected, kArticle); // every set changes the article

        Pairs fields = set.fields;
        fields.push_back({"content", kArticle});
        const struct {
            const char* name;
            std::string target, body, type;
        } requests[] = {
            {"form", "/api/rewrite", formBody(fields), "application/x-www-form-urlencoded"},
            {"multipart", "/api/rewrite", multipartBody(fields, "b0undary"),
             "multipart/form-data; boundary=\"b0undary\""},
            {"json", "/api/rewrite", jsonBody(fields), "application/json"},
            {"plain", "/api/rewrite?" + formBody(set.fields), kArticle, "text/plain"},
        };
        for (const auto& r : requests) {
            SCOPED_TRACE(r.name);
            const HttpResult answer = post(r.target, r.body, r.type);
            ASSERT_EQ(answer.status, 200) << answer.body;
            EXPECT_EQ(answer.header("content-type"), "application/json; charset=utf-8");
            EXPECT_EQ(jsonMember(answer.body, "text"), expected);
            EXPECT_EQ("\t" + jsonMember(answer.body, "originality") + "\t" +
                          jsonMember(answer.body, "replacements") + "\n",
                      reportTail);
        }

        // GBK in, GBK out, against the command line on the GBK file.
        const std::string gbkExpected = cli(set.cli, "gbk.txt", "gbk").first;
        Pairs gbkFields;
        for (const auto& [name, value] : fields)
            gbkFields.push_back({name, g(value)});
        gbkFields.push_back({"charset", "gbk"});
        gbkFields.push_back({"format", "text"});
        const HttpResult gbk =
            post("/api/rewrite", formBody(gbkFields), "application/x-www-form-urlencoded");
        ASSERT_EQ(gbk.status, 200) << gbk.body;
        EXPECT_EQ(gbk.header("content-type"), "text/plain; charset=gbk");
        EXPECT_EQ(gbk.body, gbkExpected);
        // Its JSON answer is plain ASCII, so it reads the same as GBK.
        gbkFields.pop_back();
        const HttpResult ascii =
            post("/api/rewrite", formBody(gbkFields), "application/x-www-form-urlencoded");
        EXPECT_TRUE(std::all_of(ascii.body.begin(), ascii.body.end(),
                                [](char c) { return c > 0 && c < 0x7F; }));
        EXPECT_EQ(jsonMember(ascii.body, "text"), expected);
    }
}

TEST_F(RewriteEquivalenceTest, CommandLineOptionsAreEveryRequestsDefaults) {
    service::ServiceOptions options;
    options.dbPath = (dir.path() / "setting.dat").string();
    options.defaults.settings.shuffle = true;
    options.defaults.settings.shuffleSettings.keyword = g("关键词");
    options.defaults.seed = 11;
    options.defaults.protectedWords = {g("天气")};
    running = startService(options);
    const std::string withDefaults =
        cli("--shuffle --keyword 关键词 --seed 11 --protect 天气", "utf8.txt", "utf-8").first;
    const std::string overridden =
        cli("--seed 5 --protect 天气 --protect 美丽", "utf8.txt", "utf-8").first;
    EXPECT_EQ(post("/api/rewrite?format=text", kArticle, "text/plain").body, withDefaults);
    EXPECT_EQ(post("/api/rewrite",
                   jsonBody({{"content", kArticle},
                             {"format", "text"},
                             {"shuffle", "0"},
                             {"seed", "5"},
                             {"protect", "美丽"}}),
                   "application/json")
                  .body,
              overridden);
}

TEST_F(RewriteEquivalenceTest, APageAnswersWhatTheCommandLineWritesInEachHtmlMode) {
    const std::string page =
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>美丽的花园</title></head>"
        "<body><div class=\"nav\"><a href=\"/?q=美丽\">美丽 首页</a></div><h1>美丽的花园</h1>"
        "<p>清晨，美丽的花园里开满了鲜花，园丁们正在修剪树枝，孩子们在草地上追逐嬉戏，"
        "老人们坐在长椅上晒太阳，一切都显得那么安静而美好。</p><p>中午时分，美丽的阳光洒满了"
        "整个花园，游客们纷纷拿出相机拍照留念，湖面上的小船也多了起来。</p></body></html>";
    writeFileBytes(dir.path() / "page.html", page);
    service::ServiceOptions options;
    options.dbPath = (dir.path() / "setting.dat").string();
    running = startService(options);
    std::string answers[3];
    const char* modes[] = {"keep", "extract", "text"};
    for (int m = 0; m < 3; ++m) {
        for (const OptionSet& set : {kOptionSets[0], kOptionSets[2]}) {
            SCOPED_TRACE(std::string(modes[m]) + " " + set.cli);
            const auto [expected, report] =
                cli(std::string("--html ") + modes[m] + " " + set.cli, "page.html", "auto");
            const std::string reportTail = report.substr(report.find('\t'));
            Pairs fields = set.fields;
            fields.push_back({"content", page});
            fields.push_back({"html", modes[m]});
            const HttpResult answer = post("/api/rewrite", jsonBody(fields), "application/json");
            ASSERT_EQ(answer.status, 200) << answer.body;
            EXPECT_EQ(jsonMember(answer.body, "text"), expected);
            EXPECT_EQ("\t" + jsonMember(answer.body, "originality") + "\t" +
                          jsonMember(answer.body, "replacements") + "\n",
                      reportTail);
            answers[m] = expected;
        }
    }
    // Each mode did what it says (the last option set: the shuffle, with a keyword).
    EXPECT_NE(answers[0].find("<a href=\"/?q=美丽\">好看 首页</a>"), std::string::npos);
    EXPECT_EQ(answers[1].find('<'), std::string::npos);
    EXPECT_EQ(answers[2].find("/?q=美丽"), std::string::npos);
}

} // namespace
