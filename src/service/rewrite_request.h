#pragma once
// What one call of POST /api/rewrite asks for. Every encoding a caller may
// use (a form, multipart, JSON, a plain body with its options in the query)
// is first turned into a list of named fields; one table in the .cpp says
// what each name sets, so a new option is one row there and one member here.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/pipeline.h"
#include "engine/stringlist.h"
#include "html/page.h"
#include "service/api_error.h"

namespace service {

struct Field {
    std::string name;
    std::string value; // the bytes as sent, escapes decoded
    bool utf8 = false; // known to be UTF-8 whatever the charset (a JSON string)
};
using Fields = std::vector<Field>;

// The rewrite options of the command line: what a request does not set.
struct RewriteDefaults {
    engine::RewriteSettings settings;
    std::optional<std::uint64_t> seed;
    StringList protectedWords; // GBK
    html::Mode html = html::Mode::Keep;
};

struct RewriteRequest {
    std::optional<std::string> content; // GBK
    engine::RewriteSettings settings;
    std::optional<std::uint64_t> seed;  // none: fresh randomness
    StringList protectedWords;          // the defaults' and the request's, GBK
    bool textAnswer = false;            // format=text
    bool gbk = false;                   // charset=gbk: fields read and text answered in GBK
    bool marks = false;                 // the answer lists the replaced words' places
    html::Mode html = html::Mode::Keep; // what becomes of a content that is a web page
    std::optional<std::string> token;   // as sent
};

// Reads the fields (in order; a later value of a single-valued field wins)
// over the defaults. `gbkByDefault`: the body declared a GBK charset, which a
// charset field may still override. Unknown fields are ignored.
std::optional<RequestError> readRequest(const Fields& fields, const RewriteDefaults& defaults,
                                        bool gbkByDefault, RewriteRequest& out);

// ASCII letters in lower case (names of fields, charsets, media types).
std::string asciiLower(std::string_view s);

// True for the names of a GBK charset ("gbk", "gb2312", "gb18030", "cp936").
bool isGbkCharset(const std::string& name);

} // namespace service
