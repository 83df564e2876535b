// The batch job without a window: the events of a small folder run and of a
// small list run whose requests the test answers itself. An item is done only
// when its result got where it was going; everything else is told as what it is.
#include "batch/job.h"

#include <gtest/gtest.h>

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

} // namespace
