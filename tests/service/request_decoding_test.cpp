// Request bodies and fields as callers send them, well and badly formed.
#include <gtest/gtest.h>

#include "service/body_fields.h"
#include "support/fixtures.h"

namespace {

using namespace service;

struct Decoded {
    std::optional<RequestError> error;
    RewriteRequest request;
};

Decoded decode(const std::string& contentType, std::string body, const std::string& query = {}) {
    Decoded d;
    Fields fields;
    appendFormFields(query, fields);
    const ContentType type = parseContentType(contentType);
    d.error = appendBodyFields(type, std::move(body), fields);
    if (!d.error) d.error = readRequest(fields, {}, isGbkCharset(type.charset), d.request);
    return d;
}

TEST(RequestDecoding, FieldsReadAsTheCommandLineTakesThem) {
    const Decoded json = decode("application/json; charset=utf-8",
                                R"({"content":"a\ud83d\ude00b\ud800\"", "shuffle":true,)"
                                R"( "seed":18446744073709551615, "frequency":30, "keyword":null,)"
                                R"( "protect":["中国", "花园\n天气"], "synonyms":false, "x":{}})");
    // An object for an unknown member is still malformed JSON for us.
    EXPECT_TRUE(json.error);

    const Decoded ok = decode(
        "application/json", R"({"content":"a\ud83d\ude00b\ud800\"\/", "shuffle":true,)"
                            R"( "seed":18446744073709551615, "frequency":30, "keyword":null,)"
                            R"( "protect":["中国", "花园\n天气"], "synonyms":false, "extra":[]})");
    ASSERT_FALSE(ok.error) << ok.error->detail;
    EXPECT_EQ(*ok.request.content, cp::utf8ToGbk("a😀b\xEF\xBF\xBD\"/"));
    EXPECT_TRUE(ok.request.settings.shuffle);
    EXPECT_FALSE(ok.request.settings.synonyms);
    EXPECT_EQ(ok.request.seed, 18446744073709551615ull);
    EXPECT_EQ(ok.request.settings.shuffleSettings.frequency, 30);
    EXPECT_EQ(ok.request.protectedWords, (StringList{g("中国"), g("花园"), g("天气")}));

    // Form values: escapes decoded, "+" a blank, a broken escape kept; UTF-8
    // converted, other bytes taken as GBK; charset=gbk takes them as GBK.
    const Decoded form =
        decode("application/x-www-form-urlencoded", "content=%E4%B8%AD+%zz%4&keyword=%D6%D0");
    ASSERT_FALSE(form.error);
    EXPECT_EQ(*form.request.content, g("中 %zz%4"));
    EXPECT_EQ(form.request.settings.shuffleSettings.keyword, g("中"));
    EXPECT_EQ(form.request.html, html::Mode::Keep); // the default for a page
    const Decoded gbk = decode("application/x-www-form-urlencoded; charset=GBK",
                               "content=%E4%B8%AD", "format=text&html=Extract");
    ASSERT_FALSE(gbk.error);
    EXPECT_EQ(*gbk.request.content, "\xE4\xB8\xAD");
    EXPECT_TRUE(gbk.request.gbk && gbk.request.textAnswer);
    EXPECT_EQ(gbk.request.html, html::Mode::Extract);
    EXPECT_TRUE(decode("text/plain", "x", "charset=utf-8&charset=gb2312").request.gbk); // the last

    // Multipart: quoted parameters, a file part, a part without a name.
    const Decoded multi =
        decode("multipart/form-data; charset=utf-8; boundary=\"a;b\"",
               "preamble\r\n--a;b\r\nContent-Disposition: form-data; name=\"content\"; "
               "filename=\"x.txt\"\r\nContent-Type: text/plain\r\n\r\nline\r\n\r\n--a;b\r\n"
               "Content-Disposition: form-data\r\n\r\nnameless\r\n--a;b\r\ncontent-disposition: "
               "form-data; name=seed\r\n\r\n9\r\n--a;b--\r\n");
    ASSERT_FALSE(multi.error) << multi.error->detail;
    EXPECT_EQ(*multi.request.content, "line\r\n");
    EXPECT_EQ(multi.request.seed, 9u);
}

TEST(RequestDecoding, BadRequestsAreRefusedWithTheirReason) {
    const std::string deep(100000, '[');
    const struct {
        const char* name;
        std::string type, body, query;
        ApiError error;
        std::string detail;
    } cases[] = {
        {"no content", "application/json", "{}", "", ApiError::MissingContent, ""},
        {"empty plain body", "text/plain", "", "", ApiError::MissingContent, ""},
        {"cut JSON", "application/json", R"({"content":"a")", "", ApiError::BadBody, "JSON"},
        {"JSON array", "application/json", R"(["content"])", "", ApiError::BadBody, "JSON"},
        {"nested arrays", "application/json", deep, "", ApiError::BadBody, "JSON"},
        {"nested array member", "application/json", R"({"protect":[["a"]]})", "", ApiError::BadBody,
         "JSON"},
        {"trailing bytes", "application/json", R"({"content":"a"} x)", "", ApiError::BadBody,
         "JSON"},
        {"JSON not UTF-8", "application/json", "{\"content\":\"\xD6\xD0\"}", "", ApiError::BadBody,
         "JSON (UTF-8)"},
        {"bad escape", "application/json", R"({"content":"\x41"})", "", ApiError::BadBody, "JSON"},
        {"no boundary", "multipart/form-data", "--x\r\n", "", ApiError::BadBody, "multipart"},
        {"cut multipart", "multipart/form-data; boundary=x",
         "--x\r\nContent-Disposition: form-data; name=content\r\n\r\nabc", "", ApiError::BadBody,
         "multipart"},
        // A part must end with a line break before the next delimiter.
        {"part without its break", "multipart/form-data; boundary=x",
         "--x\r\nContent-Disposition: form-data; name=content\r\n\r\n--x--", "", ApiError::BadBody,
         "multipart"},
        {"delimiter one byte in", "multipart/form-data; boundary=x", "a--x\r\n\r\n\r\n--x--", "",
         ApiError::BadBody, "multipart"},
        {"seed too big", "text/plain", "a", "seed=18446744073709551616", ApiError::BadField,
         "seed"},
        {"negative seed", "text/plain", "a", "seed=-1", ApiError::BadField, "seed"},
        {"frequency 1", "text/plain", "a", "frequency=1", ApiError::BadField, "frequency"},
        {"frequency 3.5", "application/json", R"({"content":"a","frequency":3.5})", "",
         ApiError::BadField, "frequency"},
        {"flag", "text/plain", "a", "shuffle=maybe", ApiError::BadField, "shuffle"},
        {"format", "text/plain", "a", "format=xml", ApiError::BadField, "format"},
        {"html", "text/plain", "a", "html=page", ApiError::BadField, "html"},
        {"charset", "text/plain", "a", "charset=latin1", ApiError::BadField, "charset"},
        {"other type", "application/xml", "<a/>", "", ApiError::UnsupportedType, "application/xml"},
        {"body without type", "", "content=a", "", ApiError::UnsupportedType, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Decoded d = decode(c.type, c.body, c.query);
        ASSERT_TRUE(d.error);
        EXPECT_EQ(d.error->error, c.error);
        EXPECT_EQ(d.error->detail, c.detail);
    }
}

} // namespace
