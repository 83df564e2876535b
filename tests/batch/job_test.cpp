// The batch job without a window: the events of a small folder run and of a
// small list run whose requests the test answers itself.
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
};

TEST_F(JobTest, FolderRunTellsEveryFileAndStopsAtOneItCannotRead) {
    std::filesystem::create_directories(dir.path() / "in");
    std::filesystem::create_directories(dir.path() / "out");
    writeFileBytes(dir.path() / "in" / "a.txt", g("春天"));
    writeFileBytes(dir.path() / "in" / "b.txt", "");
    // Too large to be read: an article of more than 64 MB (sparse on disk).
    writeFileBytes(dir.path() / "in" / "c.txt", "x");
    std::filesystem::resize_file(dir.path() / "in" / "c.txt", std::uintmax_t{65} << 20);
    writeFileBytes(dir.path() / "in" / "d.txt", g("春天"));
    batch::JobSettings s;
    s.sourceDir = (dir.path() / "in").string();
    s.targetDir = (dir.path() / "out").string();
    auto job = make(s);
    ASSERT_TRUE(job->prepare());
    job->start();
    const std::string out = (dir.path() / "out" / "a.txt").string();
    ASSERT_GE(events.size(), 5u);
    EXPECT_EQ(events[0], (Told{batch::Event::Started, 0, ""}));
    EXPECT_EQ(events[1], (Told{batch::Event::Written, 0, out}));
    EXPECT_EQ(events[3], (Told{batch::Event::Empty, 1, ""}));
    EXPECT_EQ(readFileBytes(out), g("春季\r\n"));
    EXPECT_EQ(events.back().kind, batch::Event::Failed);
    EXPECT_EQ(events.back().index, 2);
    EXPECT_EQ(job->stoppedBy(), events.back().detail);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "out" / "d.txt"));
    EXPECT_EQ(job->summary().failed, 1);
    EXPECT_EQ(job->summary().done + job->summary().empty, 2);
}

TEST_F(JobTest, ListRunFetchesEachLineAndPostsWhatComesBack) {
    batch::JobSettings s;
    s.source = batch::Source::List;
    s.lines = {"http://a/1" + g("[完毕]"), " ", "http://a/2", "http://a/3"};
    s.target = batch::Target::Post;
    s.postUrl = "http://p/";
    s.idMode = batch::IdMode::Index;
    auto job = make(s);
    ASSERT_TRUE(job->prepare());
    EXPECT_EQ(job->bareLines()[0], "http://a/1"); // the marker of an earlier run is gone
    job->start();
    const std::vector<std::pair<int, std::string>> launched = {
        {0, "http://a/1"}, {2, "http://a/2"}, {3, "http://a/3"}}; // the blank line keeps its number
    EXPECT_EQ(fetches, launched);

    events.clear();
    job->fetched(2, {"http://a/2", g("春天")});
    job->fetched(0, {"http://a/1", ""});
    job->fetchFailed(3, "no server");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].first, 2);
    EXPECT_EQ(posts[0].second, "id=2&content=" + UrlEncode(g("春季\r\n"), true));
    EXPECT_FALSE(job->summary().over()); // the post is not answered yet
    job->posted(2, "ok");
    const std::vector<Told> expected = {
        {batch::Event::Fetched, 2, "http://a/2"}, {batch::Event::Posting, 2, ""},
        {batch::Event::Fetched, 0, "http://a/1"}, {batch::Event::Empty, 0, ""},
        {batch::Event::Failed, 3, "no server"},   {batch::Event::Posted, 2, "ok"}};
    EXPECT_EQ(events, expected);
    const auto& sum = job->summary();
    EXPECT_TRUE(sum.over());
    EXPECT_EQ(sum.done, 1);
    EXPECT_EQ(sum.empty, 1);
    EXPECT_EQ(sum.failed, 1);
    EXPECT_EQ(sum.firstFailure, "no server");
}

} // namespace
