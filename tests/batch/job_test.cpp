// The batch job without a window: the events of a small folder run and of a
// small list run whose requests the test answers itself, and web pages in
// each html mode. An item is done only when its result got where it was
// going; everything else is told as what it is.
#include "batch/job.h"

#include <gtest/gtest.h>

#include "batch/items.h"
#include "engine/textutil.h"
#include "support/fixtures.h"

namespace {

struct Told {
    batch::Event::Kind kind;
    int index;
    std::string detail;
    bool operator==(const Told&) const = default;
};

struct JobTest : ::testing::Test {
    TempDir dir;
    engine::RewriteState state{1};
    std::vector<Told> events;
    std::vector<std::pair<int, std::string>> fetches, posts; // index, url or body

    std::unique_ptr<batch::Job> make(batch::JobSettings settings) {
        batch::JobHooks hooks;
        const auto thesaurus = engine::Thesaurus::make({g("春天")}, {g("春季")}, {});
        hooks.pipeline = [thesaurus] { return engine::Pipeline({}, thesaurus); };
        hooks.state = &state;
        hooks.fetch = [this](const batch::Item& item, const std::string& url) {
            fetches.emplace_back(item.index, url);
        };
        hooks.post = [this](const batch::Item& item, const std::string&, const std::string& body) {
            posts.emplace_back(item.index, body);
        };
        return std::make_unique<batch::Job>(std::move(settings), std::move(hooks),
                                            [this](const batch::Event& e) {
                                                events.push_back({e.kind, e.item.index, e.detail});
                                            });
    }
    int count(batch::Event::Kind kind) const {
        return static_cast<int>(std::count_if(events.begin(), events.end(),
                                              [&](const Told& t) { return t.kind == kind; }));
    }
};

TEST_F(JobTest, FolderRunGoesOnPastAFileItCannotReadAndSumsUp) {
    std::filesystem::create_directories(dir.path() / "in");
    writeFileBytes(dir.path() / "in" / "a.txt", g("春天"));
    writeFileBytes(dir.path() / "in" / "b.txt", "");
    // Too large to be read: an article of more than 64 MB (sparse on disk).
    writeFileBytes(dir.path() / "in" / "c.txt", "x");
    std::filesystem::resize_file(dir.path() / "in" / "c.txt", std::uintmax_t{65} << 20);
    writeFileBytes(dir.path() / "in" / "d.txt", g("春天里"));
    batch::JobSettings s;
    s.sourceDir = (dir.path() / "in").string();
    s.targetDir = (dir.path() / "out").string();
    std::filesystem::create_directories(dir.path() / "out");
    auto job = make(s);
    ASSERT_TRUE(job->prepare());
    job->start();
    EXPECT_EQ(readFileBytes(dir.path() / "out" / "a.txt"), g("春季\r\n"));
    EXPECT_EQ(readFileBytes(dir.path() / "out" / "d.txt"), g("春季里\r\n"));
    const auto& sum = job->summary();
    EXPECT_TRUE(sum.finished);
    EXPECT_EQ(sum.done, 2);
    EXPECT_EQ(sum.empty, 1);
    EXPECT_EQ(sum.failed, 1);
    EXPECT_NE(sum.firstFailure.find("c.txt"), std::string::npos);
    EXPECT_EQ(count(batch::Event::Finished), 1);
    EXPECT_EQ(events.back().kind, batch::Event::Finished);
    EXPECT_EQ(job->originality().count(), 2); // the empty and the failed one do not count
}

TEST_F(JobTest, ListRunCountsOnlyWhatTheServerTookAndTellsTheRest) {
    batch::JobSettings s;
    s.source = batch::Source::List;
    s.lines = {
        "http://a/1" + g("[完毕]"), " ", "http://a/2", "http://a/3", "http://a/4", "http://a/5"};
    s.target = batch::Target::Post;
    s.postUrl = "http://p/";
    s.idMode = batch::IdMode::Index;
    auto job = make(s);
    ASSERT_TRUE(job->prepare());
    EXPECT_EQ(job->bareLines()[0], "http://a/1"); // the marker of an earlier run is gone
    job->start();
    const std::vector<std::pair<int, std::string>> launched = {
        {0, "http://a/1"},
        {2, "http://a/2"},
        {3, "http://a/3"},
        {4, "http://a/4"},
        {5, "http://a/5"}}; // the blank line keeps its number
    EXPECT_EQ(fetches, launched);

    events.clear();
    job->fetched(2, {"http://a/2", g("春天")});
    job->fetched(0, {"http://a/1", ""});
    job->fetchFailed(3, "no server");
    job->fetched(4, {"http://a/4", g("找不到网页"), 404}); // an error page is no article
    job->fetched(5, {"http://a/5", g("春天")});
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[0], std::make_pair(2, "id=2&content=" + UrlEncode(g("春季\r\n"), true)));
    EXPECT_FALSE(job->summary().finished); // the posts are not answered yet
    job->posted(2, "ok");
    job->posted(5, "refused", 500);
    job->posted(2, "again"); // a late second answer changes nothing
    const std::vector<Told> expected = {{batch::Event::Fetched, 2, "http://a/2"},
                                        {batch::Event::Posting, 2, ""},
                                        {batch::Event::Fetched, 0, "http://a/1"},
                                        {batch::Event::Empty, 0, ""},
                                        {batch::Event::Failed, 3, "no server"},
                                        {batch::Event::Fetched, 4, "http://a/4"},
                                        {batch::Event::Failed, 4, g("服务器回答错误 HTTP 404")},
                                        {batch::Event::Fetched, 5, "http://a/5"},
                                        {batch::Event::Posting, 5, ""},
                                        {batch::Event::Posted, 2, "ok"},
                                        {batch::Event::Failed, 5, g("服务器回答错误 HTTP 500")},
                                        {batch::Event::Finished, -1, ""}};
    EXPECT_EQ(events, expected);
    const auto& sum = job->summary();
    EXPECT_EQ(sum.done, 1);
    EXPECT_EQ(sum.empty, 1);
    EXPECT_EQ(sum.failed, 3);
    EXPECT_EQ(sum.firstFailure, "http://a/3" + g("：") + "no server");
    EXPECT_EQ(job->originality().count(), 1); // the refused post's article does not count
}

TEST_F(JobTest, AStoppedListRunGivesUpItsFetchesButCountsItsPosts) {
    batch::JobSettings s;
    s.source = batch::Source::List;
    s.lines = {"http://a/0", "http://a/1", "http://a/2", "http://a/3"};
    s.target = batch::Target::Post;
    // A retry of the lines an earlier run left undone.
    s.include = [](const batch::Item& item) { return item.index != 3; };
    auto job = make(s);
    ASSERT_TRUE(job->prepare());
    job->start();
    ASSERT_EQ(fetches.size(), 3u);
    job->fetched(0, {"http://a/0", g("春天")});
    job->stop();
    job->fetched(1, {"http://a/1", g("春天")}); // too late: nothing new starts
    EXPECT_EQ(posts.size(), 1u);
    EXPECT_FALSE(job->summary().finished); // the post already sent is still counted
    job->posted(0, "ok");
    const auto& sum = job->summary();
    EXPECT_TRUE(sum.finished);
    EXPECT_TRUE(sum.stopped);
    EXPECT_EQ(sum.done, 1);
    EXPECT_EQ(sum.notDone, 2);
    EXPECT_EQ(sum.total, 3);
}

// Lines that are blank, or hold nothing but markers of an earlier run, are no
// items, yet every line after them keeps its own number: in its fetch, in the
// name of its file and in its events.
TEST_F(JobTest, BlankLinesAreNoItemsAndKeepTheNumbersOfTheOthers) {
    batch::JobSettings s;
    s.source = batch::Source::List;
    s.lines = {"",
               "\t",
               g("[完毕]"),
               " \t" + g("[空内容]"),
               "http://a/4",
               "  ",
               "http://a/6" + g("[完毕]")};
    s.targetDir = dir.str();
    auto job = make(s);
    ASSERT_TRUE(job->prepare());
    EXPECT_EQ(job->summary().total, 2);
    job->start();
    const std::vector<std::pair<int, std::string>> launched = {{4, "http://a/4"},
                                                               {6, "http://a/6"}};
    EXPECT_EQ(fetches, launched);
    job->fetched(6, {"http://a/6", g("春天")});
    job->fetched(4, {"http://a/4", g("春天")});
    EXPECT_EQ(readFileBytes(dir.path() / "http___a_4_4.txt"), g("春季\r\n"));
    EXPECT_EQ(readFileBytes(dir.path() / "http___a_6_6.txt"), g("春季\r\n"));
    EXPECT_EQ(job->summary().done, 2);
    EXPECT_TRUE(job->summary().finished);
}

// A folder run writes each result in the encoding its source was read in (a
// UTF-16 one as UTF-8 with a mark), every character whole.
TEST_F(JobTest, FolderResultsKeepTheirSourcesEncoding) {
    std::string utf16 = "\xFF\xFE";
    for (char16_t u : std::u16string(u"春天😀"))
        utf16 += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
    const struct {
        const char* name;
        std::string source, result;
    } files[] = {
        {"gbk.txt", g("春天的花"), g("春季的花\r\n")},
        {"utf8.txt", "春天😀", "春季😀\r\n"},
        {"mark.txt", "\xEF\xBB\xBF春天", "\xEF\xBB\xBF春季\r\n"},
        {"wide.txt", utf16, "\xEF\xBB\xBF春季😀\r\n"},
    };
    std::filesystem::create_directories(dir.path() / "in");
    for (const auto& f : files)
        writeFileBytes(dir.path() / "in" / f.name, f.source);
    batch::JobSettings s;
    s.sourceDir = (dir.path() / "in").string();
    s.targetDir = (dir.path() / "out").string();
    std::filesystem::create_directories(dir.path() / "out");
    auto job = make(s);
    ASSERT_TRUE(job->prepare());
    job->start();
    EXPECT_EQ(job->summary().done, 4);
    for (const auto& f : files)
        EXPECT_EQ(readFileBytes(dir.path() / "out" / f.name), f.result) << f.name;
}

// A page (UTF-8) whose link, title and paragraph hold the thesaurus word.
std::string page(const std::string& word) {
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + word +
           "的早晨</title></head><body><div class=\"nav\"><a href=\"/?q=春天\">首页</a></div>"
           "<h1>" +
           word + "的早晨</h1><p>" + word +
           "的早晨，公园里的花都开了，老人们在湖边打太极拳，孩子们在草地上放风筝，"
           "小贩们推着车子沿街叫卖早点，整座城市在阳光里慢慢醒来。</p><p>到了中午，" +
           word +
           "的阳光更加温暖，街上的行人也多了起来，商店门口排起了长队，"
           "人们都想趁着好天气出门走走，享受这难得的闲暇时光。</p></body></html>";
}

// The article of page(): its title, an empty line, its paragraphs.
std::string article(const std::string& word) {
    return word + "的早晨\r\n\r\n" + word +
           "的早晨，公园里的花都开了，老人们在湖边打太极拳，孩子们在草地上放风筝，"
           "小贩们推着车子沿街叫卖早点，整座城市在阳光里慢慢醒来。\r\n到了中午，" +
           word +
           "的阳光更加温暖，街上的行人也多了起来，商店门口排起了长队，"
           "人们都想趁着好天气出门走走，享受这难得的闲暇时光。\r\n";
}

TEST_F(JobTest, EachHtmlModeOnAFolderOfPages) {
    const std::string noArticle = "<html><body><p>春天</p></body></html>";
    std::filesystem::create_directories(dir.path() / "in");
    writeFileBytes(dir.path() / "in" / "a.html", page("春天"));   // UTF-8
    writeFileBytes(dir.path() / "in" / "b.HTM", g(page("春天"))); // GBK
    writeFileBytes(dir.path() / "in" / "c.txt", g("春天来了"));   // text
    writeFileBytes(dir.path() / "in" / "d.txt", g(noArticle));    // a page by its start
    const std::string kept = page("春季"), keptLink = "href=\"/?q=春天\"";
    struct Row {
        html::Mode mode;
        std::vector<std::string> outputs; // a.html, b.HTM, c.txt, d.txt; "-" for none
    };
    const Row rows[] = {
        {html::Mode::Keep,
         {kept, g(kept), g("春季来了\r\n"), g("<html><body><p>春季</p></body></html>")}},
        {html::Mode::Extract, {article("春季"), g(article("春季")), g("春季来了\r\n"), "-"}},
        {html::Mode::Text,
         {"-", "-", g("春季来了\r\n"), g("<html><body><p>春季</p></body></html>\r\n")}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(static_cast<int>(r.mode));
        std::filesystem::remove_all(dir.path() / "out");
        std::filesystem::create_directories(dir.path() / "out");
        batch::JobSettings s;
        s.sourceDir = (dir.path() / "in").string();
        s.targetDir = (dir.path() / "out").string();
        s.html = r.mode;
        auto job = make(s);
        events.clear();
        ASSERT_TRUE(job->prepare());
        job->start();
        const char* names[] = {"a.html", "b.HTM", "c.txt", "d.txt"};
        for (size_t i = 0; i < 4; ++i) {
            SCOPED_TRACE(names[i]);
            const auto path = dir.path() / "out" / names[i];
            if (r.outputs[i] == "-")
                EXPECT_FALSE(std::filesystem::exists(path));
            else
                EXPECT_EQ(readFileBytes(path), r.outputs[i]);
        }
        EXPECT_EQ(job->summary().failed, 0);
        EXPECT_EQ(job->originality().count(), job->summary().done);
        if (r.mode == html::Mode::Keep) {
            EXPECT_NE(readFileBytes(dir.path() / "out" / "a.html").find(keptLink),
                      std::string::npos);
        }
        if (r.mode == html::Mode::Extract) {
            // The page without an article is an empty item, with its reason.
            ASSERT_GE(events.size(), 2u);
            EXPECT_EQ(events.back().kind, batch::Event::Finished);
            const auto& last = events[events.size() - 2];
            EXPECT_EQ(last.kind, batch::Event::Empty);
            EXPECT_EQ(last.detail, g("网页中找不到正文"));
        }
    }
}

TEST_F(JobTest, APageTooLargeToReadFailsNamingTheFile) {
    std::filesystem::create_directories(dir.path() / "in");
    writeFileBytes(dir.path() / "in" / "big.html", "<p>");
    std::filesystem::resize_file(dir.path() / "in" / "big.html", std::uintmax_t{17} << 20);
    batch::JobSettings s;
    s.sourceDir = (dir.path() / "in").string();
    s.targetDir = dir.str();
    for (html::Mode mode : {html::Mode::Keep, html::Mode::Extract}) {
        s.html = mode;
        auto job = make(s);
        ASSERT_TRUE(job->prepare());
        job->start();
        EXPECT_EQ(job->summary().failed, 1);
        EXPECT_EQ(job->summary().firstFailure, "big.html" + g("：无法处理网页 ") + s.sourceDir +
                                                   "/big.html: " + g("网页超过16 MB，未处理"));
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "big.html"));
    }
}

TEST_F(JobTest, AListRunSavesAKeptPageAsAPageAndPostsItAsGbk) {
    batch::JobSettings s;
    s.source = batch::Source::List;
    s.lines = {"http://a/1", "http://a/2", "http://a/3"};
    s.targetDir = dir.str();
    auto job = make(s);
    ASSERT_TRUE(job->prepare());
    job->start();
    job->fetched(0, {"http://a/1", g(page("春天")), 200, "text/html; charset=GBK"});
    job->fetched(1, {"http://a/2", page("春天"), 200, "text/plain"}); // a page by its start
    job->fetched(2, {"http://a/3", "{\"a\": \"春天\"}", 200, "application/json"});
    EXPECT_EQ(readFileBytes(dir.path() / "http___a_1_0.html"), g(page("春季")));
    EXPECT_EQ(readFileBytes(dir.path() / "http___a_2_1.html"), page("春季"));
    EXPECT_EQ(readFileBytes(dir.path() / "http___a_3_2.txt"), g("{\"a\": \"春季\"}\r\n"));

    // Posted, a UTF-8 page goes as GBK text that says it is GBK.
    s.target = batch::Target::Post;
    s.html = html::Mode::Keep;
    job = make(s);
    ASSERT_TRUE(job->prepare());
    job->start();
    job->fetched(1, {"http://a/2", page("春天"), 200, "text/html; charset=utf-8"});
    std::string expected = g(page("春季"));
    expected.replace(expected.find("utf-8"), 5, "gbk");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].second, batch::postBody("http://a/2", expected));
}

} // namespace
