// The rewrite service's request handling, as a request to POST /api/rewrite
// takes it (query, Content-Type, body), over a thesaurus held in memory:
// - whatever arrives, the answer is a rewrite (200) or a refusal of the kinds
//   the interface names (400, 413, 415), never anything else;
// - every refusal, and every JSON answer, is well-formed UTF-8 JSON of its
//   shape; with charset=gbk a JSON answer is plain ASCII;
// - a text answer in UTF-8 is valid UTF-8;
// - it answers within libFuzzer's time and memory limits (scripts/fuzz.sh).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz/fuzz_support.h"
#include "protocol/codepage.h"
#include "service/body_fields.h"
#include "service/rewrite_answer.h"
#include "service/rewrite_request.h"

namespace {

const service::Snapshot& snapshot() {
    static const service::Snapshot s = [] {
        const StringList o = {cp::G("美丽"), cp::G("风景"), cp::G("今天"), "a", cp::G("，")};
        const StringList n = {cp::G("漂亮"), cp::G("景色"), cp::G("今日"), "b", ","};
        const StringList p = {cp::G("风景区")};
        service::Snapshot snap;
        snap.full = engine::Thesaurus::make(o, n, p);
        snap.bare = engine::Thesaurus::make({}, {}, {});
        snap.protectedWords = p;
        snap.protectedInFile = 1;
        return snap;
    }();
    return s;
}

bool isAscii(const std::string& s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

service::Answer handle(const std::string& query, const std::string& contentType, std::string body,
                       bool& gbk) {
    service::Fields fields;
    service::appendFormFields(query, fields);
    const service::ContentType type = service::parseContentType(contentType);
    auto refusal = [](const service::RequestError& e) {
        return service::Answer{service::statusOf(e.error), "application/json; charset=utf-8",
                               service::errorJson(e.error, e.detail)};
    };
    if (service::bodyKindOf(type) == service::BodyKind::Unsupported)
        return refusal({service::ApiError::UnsupportedType, {}});
    if (auto e = service::appendBodyFields(type, std::move(body), fields)) return refusal(*e);
    service::RewriteRequest r;
    service::RewriteDefaults defaults;
    if (auto e = service::readRequest(fields, defaults, service::isGbkCharset(type.charset), r))
        return refusal(*e);
    gbk = r.gbk;
    return service::rewriteAnswer(r, snapshot());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::string query = in.field('\n');
    const std::string contentType = in.field('\n');
    bool gbk = false;
    const service::Answer a = handle(query, contentType, in.rest(), gbk);
    FUZZ_CHECK(a.status == 200 || a.status == 400 || a.status == 413 || a.status == 415);
    FUZZ_CHECK(!a.contentType.empty());
    const bool json = a.contentType.rfind("application/json", 0) == 0;
    if (a.status != 200) {
        FUZZ_CHECK(json && a.body.rfind("{\"error\":", 0) == 0 && cp::isValidUtf8(a.body));
        return 0;
    }
    if (json) {
        FUZZ_CHECK(a.body.rfind("{\"text\":", 0) == 0 && a.body.ends_with("}\n"));
        FUZZ_CHECK(cp::isValidUtf8(a.body));
        if (gbk) FUZZ_CHECK(isAscii(a.body));
    } else if (a.contentType.find("utf-8") != std::string::npos) {
        FUZZ_CHECK(cp::isValidUtf8(a.body));
    }
    return 0;
}
