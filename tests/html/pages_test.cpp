// The gold pages of bench/pages: the article comes out of every layout, and
// the markup-keeping rewrite changes their text and no byte of their markup.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "html/charset.h"
#include "html/document.h"
#include "html/extract.h"
#include "html/keep.h"
#include "protocol/codepage.h"

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<fs::path> goldPages() {
    std::vector<fs::path> pages;
    for (const auto& e : fs::directory_iterator(fs::path(WYC_SOURCE_DIR) / "bench" / "pages"))
        if (e.path().extension() == ".html") pages.push_back(e.path());
    std::sort(pages.begin(), pages.end());
    return pages;
}

// The Chinese characters, letters and digits of a UTF-8 text, as UTF-16.
std::u16string words(const std::string& utf8) {
    std::u16string out;
    for (char16_t c : cp::utf8ToUtf16(utf8))
        if ((c >= 0x4E00 && c <= 0x9FFF) || (c >= '0' && c <= '9') ||
            ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'))
            out += c;
    return out;
}

TEST(Pages, TheArticleComesOutOfEveryLayout) {
    std::vector<fs::path> pages = goldPages();
    ASSERT_GE(pages.size(), 40u);
    for (const fs::path& p : pages) {
        SCOPED_TRACE(p.filename().string());
        fs::path goldPath = p;
        std::string gold = readFile(goldPath.replace_extension(".txt"));
        html::Article a = html::extractArticle(readFile(p));
        if (gold.empty()) {
            EXPECT_EQ(a.missing, html::NoArticle::Listing);
            continue;
        }
        ASSERT_TRUE(a.found()) << a.reason;
        // Title and body as the gold has them, no more and no less.
        std::string got = cp::gbkToUtf8(a.text("\n"));
        EXPECT_EQ(got.substr(0, got.find('\n')), gold.substr(0, gold.find('\n')));
        EXPECT_EQ(words(got), words(gold));
    }
}

// Every Chinese character becomes 中, which keeps the length in GB18030 and
// UTF-8 alike, so the result lines up with the page byte for byte.
std::string sameLength(const std::string& gbk) {
    std::string out = gbk;
    for (size_t i = 0; i + 1 < out.size();) {
        auto b = static_cast<unsigned char>(out[i]);
        if (b >= 0xB0 && b <= 0xF7 && static_cast<unsigned char>(out[i + 1]) >= 0xA1) {
            out[i] = '\xD6';
            out[i + 1] = '\xD0';
        }
        i += cp::charLength(reinterpret_cast<const unsigned char*>(out.data()), i, out.size());
    }
    return out;
}

TEST(Pages, KeepChangesTextAndNoByteOfMarkup) {
    for (const fs::path& p : goldPages()) {
        SCOPED_TRACE(p.filename().string());
        std::string page = readFile(p);
        html::KeepResult k = html::rewriteKeepingMarkup(page, "", sameLength);
        ASSERT_TRUE(k.ok()) << k.error;
        ASSERT_EQ(k.page.size(), page.size());
        // The bytes that may change: those of text outside code, forms and raw text.
        std::vector<bool> text(page.size(), false);
        html::Document doc = html::parse(page);
        for (const html::Node& n : doc.nodes)
            if (n.isText() && !(n.flags & html::kInert))
                for (size_t i = n.begin; i < n.end; ++i)
                    text[i] = page[i] != '&';
        size_t changed = 0;
        for (size_t i = 0; i < page.size(); ++i) {
            if (k.page[i] == page[i]) continue;
            ++changed;
            ASSERT_TRUE(text[i]) << "byte " << i << " changed outside text";
        }
        EXPECT_GT(changed, 100u);
    }
}

} // namespace
