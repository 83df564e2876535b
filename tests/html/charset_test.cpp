// Recognising a page as HTML and finding its encoding, from each source in
// its order of precedence.
#include <gtest/gtest.h>

#include "html/charset.h"

namespace {

using html::Charset;
using html::CharsetSource;

TEST(Charset, EachSourceInItsOrder) {
    struct Row {
        const char* what;
        std::string page;
        const char* contentType;
        Charset charset;
        CharsetSource source;
    };
    const std::string gbk = "<p>\xD6\xD0\xCE\xC4</p>"; // 中文 in GBK, not valid UTF-8
    const Row rows[] = {
        {"BOM beats everything", "\xEF\xBB\xBF<meta charset=gbk>", "text/html; charset=big5",
         Charset::Utf8, CharsetSource::Bom},
        {"UTF-16 BOM", "\xFF\xFE<\0", "", Charset::Utf16Le, CharsetSource::Bom},
        {"HTTP beats meta", "<meta charset=utf-8>", "text/html;charset=\"GBK\"", Charset::Gb18030,
         CharsetSource::Http},
        {"unknown HTTP label is passed over", "<meta charset=big5>",
         "text/html; charset=x-nonsense", Charset::Big5, CharsetSource::Meta},
        {"meta charset", "<html><head><meta charset='gb2312'>", "", Charset::Gb18030,
         CharsetSource::Meta},
        {"http-equiv", "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=big5\">", "",
         Charset::Big5, CharsetSource::Meta},
        {"meta in a comment is not a declaration", "<!-- <meta charset=big5> -->" + gbk, "",
         Charset::Gb18030, CharsetSource::Detected},
        {"UTF-16 declared in the page means UTF-8", "<meta charset=utf-16>", "", Charset::Utf8,
         CharsetSource::Meta},
        {"detected UTF-8", "<p>中文</p>", "", Charset::Utf8, CharsetSource::Detected},
        {"detected GB18030", gbk, "", Charset::Gb18030, CharsetSource::Detected},
        {"GBK aliases", "<meta charset=x-gbk>", "", Charset::Gb18030, CharsetSource::Meta},
        {"declared GBK, plainly UTF-8", "<meta charset=gbk><p>清晨的菜市场总是最热闹的地方</p>", "",
         Charset::Utf8, CharsetSource::Detected},
        {"declared UTF-8, plainly GBK", "<meta charset=utf-8>" + gbk + gbk + gbk + gbk, "",
         Charset::Gb18030, CharsetSource::Detected},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        html::PageCharset cs = html::detectCharset(r.page, r.contentType);
        EXPECT_EQ(cs.charset, r.charset);
        EXPECT_EQ(cs.source, r.source);
    }
}

TEST(Charset, RecognisesHtml) {
    struct Row {
        const char* contentType;
        const char* fileName;
        const char* bytes;
        bool html;
    };
    const Row rows[] = {
        {"text/html; charset=gbk", "", "plain words", true},
        {"text/plain", "a.txt", "plain words", false},
        {"", "Page.HTM", "plain words", true},
        {"", "page.html", "", true},
        {"", "a.txt", "\xEF\xBB\xBF  \n<!DOCTYPE html><p>", true},
        {"", "", "<!-- saved page --><html lang=zh>", true},
        {"", "", "<HEAD><title>t</title>", true},
        {"", "", "<body>", true},
        {"", "", "<htmlx>", false},
        {"", "", "text with <html> later", false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.contentType) + "|" + r.fileName + "|" + r.bytes);
        EXPECT_EQ(html::isHtml(r.contentType, r.fileName, r.bytes), r.html);
    }
}

} // namespace
