// Batch runs of the window against the companion server: the download list to
// files and to submissions, and a local folder to submissions by each id mode.
#include <map>
#include <set>

#include "engine/textutil.h"
#include "server/pages.h"
#include "server/storage.h"
#include "server_fixture.h"

namespace {

class WindowBatchTest : public WindowServerTest {
  protected:
    void SetUp() override {
        WindowServerTest::SetUp();
        form->LoggedIn = true;
        form->OriginalWords = {g("春天"), g("美丽")};
        form->NewWords = {g("春季"), g("漂亮")};
        form->ThesaurusLoaded = true;
        form->edt4.setText((dir->path() / "out").string());
        std::filesystem::create_directories(dir->path() / "out");
    }

    // The list the generator makes from the default pattern for ids 1..30,
    // with a blank line after the 15th.
    void fillList() {
        StringList lines;
        for (int id = 1; id <= 30; ++id) {
            lines.push_back(address(id));
            if (id == 15) lines.push_back("  ");
        }
        form->mmo2.setLines(lines);
        form->bsknrdgrp2.setItemIndex(1);
    }
    std::string address(int id) {
        return "http://127.0.0.1:" + std::to_string(server->port()) +
               "/get_test.asp?id=" + std::to_string(id);
    }
    static int lineOf(int id) { return id <= 15 ? id - 1 : id; }
    // The sample article of the id as the window rewrites it.
    static std::string rewritten(const std::string& idText) {
        std::string text = g(wycserver::pages::sampleArticle(idText));
        text = ReplaceAll(text, g("春天"), g("春季"));
        return ReplaceAll(text, g("美丽"), g("漂亮"));
    }
    std::vector<wycserver::StoredPost> posts() { return server->storage().latestPosts(1000); }
};

TEST_P(WindowBatchTest, DownloadListToFiles) {
    fillList();
    press(&TForm1::btn11Click);
    EXPECT_EQ(form->BatchTotal, 30);
    const StringList lines = form->mmo2.lines();
    ASSERT_EQ(lines.size(), 31u);
    EXPECT_EQ(lines[15], "  "); // the blank line: no request, no marker
    const std::string port = std::to_string(server->port());
    for (int id = 1; id <= 30; ++id) {
        const int line = lineOf(id);
        EXPECT_EQ(lines[line], address(id) + g("[完毕]"));
        const std::string name = "http___127.0.0.1_" + port +
                                 "_get_test.asp_id=" + std::to_string(id) + "_" +
                                 std::to_string(line) + ".txt";
        EXPECT_EQ(readFileBytes(dir->path() / "out" / name), rewritten(std::to_string(id))) << name;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir->path() / "out"),
                            std::filesystem::directory_iterator()),
              30);
    EXPECT_FALSE(form->lbl23.caption().empty());

    // A second run over the marked list fetches the addresses, not "address[完毕]".
    std::filesystem::remove_all(dir->path() / "out");
    std::filesystem::create_directories(dir->path() / "out");
    press(&TForm1::btn11Click);
    EXPECT_EQ(form->mmo2.lines()[0], address(1) + g("[完毕]"));
    EXPECT_EQ(readFileBytes(dir->path() / "out" /
                            ("http___127.0.0.1_" + port + "_get_test.asp_id=30_30.txt")),
              rewritten("30"));

    // A result that cannot be written leaves its line unmarked and names the
    // file, also when the answer comes while the run is still launching.
    form->mmo2.setText(address(1));
    std::filesystem::create_directories(dir->path() / "blocked" /
                                        ("http___127.0.0.1_" + port + "_get_test.asp_id=1_0.txt"));
    form->edt4.setText((dir->path() / "blocked").string());
    platform.onProcessEvents = [this] {
        platform.onProcessEvents = nullptr;
        platform.waitUntil([this] { return form->Requests.empty(); });
    };
    press(&TForm1::btn11Click);
    EXPECT_EQ(form->mmo2.text(), address(1));
    EXPECT_NE(form->lbl19.caption().find((dir->path() / "blocked" / "http___127.0.0.1_").string()),
              std::string::npos)
        << form->lbl19.caption();
}

TEST_P(WindowBatchTest, DownloadListToPostByEachIdMode) {
    fillList();
    form->bsknrdgrp3.setItemIndex(1);
    for (int mode : {0, 1}) {
        SCOPED_TRACE(mode);
        const size_t before = posts().size();
        form->bsknrdgrp1.setItemIndex(mode);
        press(&TForm1::btn11Click);
        ASSERT_TRUE(platform.waitUntil([&] { return form->PostedCount == 30; }));
        EXPECT_EQ(form->lbl19.caption(), g("【提示信息】全部提交到服务器完成"));
        const auto all = posts();
        ASSERT_EQ(all.size(), before + 30);
        std::set<std::string> ids, expected;
        for (size_t i = 0; i < 30; ++i)
            ids.insert(all[i].id);
        for (int id = 1; id <= 30; ++id)
            expected.insert(mode == 0 ? address(id) : std::to_string(lineOf(id)));
        EXPECT_EQ(ids, expected);
        // The content is the result text, CR LF after every line.
        const auto& one = all.front();
        const std::string idText =
            mode == 0 ? one.id.substr(one.id.rfind('=') + 1)
                      : std::to_string(std::stoi(one.id) + (std::stoi(one.id) > 15 ? 0 : 1));
        EXPECT_EQ(server->storage().postContent(one.seq), rewritten(idText));
    }
}

TEST_P(WindowBatchTest, LocalFolderToPostByEachIdMode) {
    const auto in = dir->path() / "in";
    std::filesystem::create_directories(in);
    writeFileBytes(in / "b.txt", g("美丽的春天"));
    writeFileBytes(in / "a.TXT", g("第二篇\n文章"));
    form->edt3.setText(in.string());
    form->bsknrdgrp3.setItemIndex(1);
    for (int mode : {2, 1}) {
        SCOPED_TRACE(mode);
        form->bsknrdgrp1.setItemIndex(mode);
        press(&TForm1::btn11Click);
        ASSERT_TRUE(platform.waitUntil([&] { return form->PostedCount == 2; }));
        EXPECT_EQ(form->mmo1.text(), g("a.TXT[完毕]\r\nb.txt[完毕]"));
        const auto all = posts();
        ASSERT_GE(all.size(), 2u);
        std::map<std::string, std::string> got;
        for (size_t i = 0; i < 2; ++i)
            got[all[i].id] = *server->storage().postContent(all[i].seq);
        const std::map<std::string, std::string> expected{
            {mode == 2 ? "a.TXT" : "0", g("第二篇\r\n文章\r\n")},
            {mode == 2 ? "b.txt" : "1", g("漂亮的春季\r\n")}};
        EXPECT_EQ(got, expected);
    }
}

WYC_ON_SQLITE(WindowBatchTest);

} // namespace
