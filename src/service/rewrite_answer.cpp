#include "service/rewrite_answer.h"

#include <cstdint>
#include <random>

#include "engine/originality.h"
#include "html/page_pipeline.h"
#include "protocol/codepage.h"
#include "service/json_text.h"

namespace service {

namespace {

// The thesaurus a request rewrites with: `wyc-cli rewrite` with the same
// options reads the file only when synonyms are on, and protects the words
// its --protect options give besides.
std::shared_ptr<const engine::Thesaurus> thesaurusFor(const RewriteRequest& r, const Snapshot& s) {
    const size_t fromDefaults = s.protectedWords.size() - s.protectedInFile;
    const bool ownWords = r.protectedWords.size() > fromDefaults;
    if (r.settings.synonyms) {
        if (!ownWords) return s.full;
        StringList words(s.protectedWords.begin(),
                         s.protectedWords.begin() + static_cast<long>(s.protectedInFile));
        words.insert(words.end(), r.protectedWords.begin(), r.protectedWords.end());
        return s.full->withProtectedWords(words);
    }
    if (!ownWords) return s.bare;
    return engine::Thesaurus::make({}, {}, r.protectedWords);
}

void appendMarks(std::string& out, const std::string& gbk, const std::vector<TextSpan>& marks) {
    out += ",\"marks\":[";
    size_t at = 0, units = 0;
    for (size_t i = 0; i < marks.size(); ++i) {
        const TextSpan& m = marks[i];
        units += cp::gbkToUtf16(std::string_view(gbk).substr(at, m.begin - at)).size();
        const size_t begin = units;
        units += cp::gbkToUtf16(std::string_view(gbk).substr(m.begin, m.end - m.begin)).size();
        at = m.end;
        if (i) out += ',';
        out += '[' + std::to_string(begin) + ',' + std::to_string(units) + ']';
    }
    out += ']';
}

// A seed for a request that brings none: from a generator of this thread,
// seeded once from the system's entropy (cheaper than asking it every time).
std::uint64_t freshSeed() {
    thread_local std::mt19937_64 seeds{(static_cast<std::uint64_t>(std::random_device{}()) << 32) ^
                                       std::random_device{}()};
    return seeds();
}

// A rewrite's result, and why a page gave no text.
struct Outcome {
    engine::RewriteResult result;
    std::string reason; // GBK
};

// The content rewritten: a web page in the request's html mode (the page
// with its text rewritten, or its article), anything else as text. A page
// gets no marks: they would point into its pieces, not into the answer.
Outcome rewritten(const RewriteRequest& r, const engine::Pipeline& pipeline,
                  engine::RewriteState& state) {
    Outcome out;
    if (r.html == html::Mode::Text || !html::isHtml({}, {}, *r.content)) {
        out.result =
            pipeline.rewrite(*r.content, state, {.marks = r.marks, .originality = !r.textAnswer});
        return out;
    }
    html::PipelinePage page = html::rewritePageText(*r.content, r.html, pipeline, state);
    out.result.text = std::move(page.page.output);
    out.result.replacements = page.replacements;
    if (!r.textAnswer) out.result.originality = engine::originality(page.source, page.rewritten);
    out.reason = std::move(page.page.reason);
    return out;
}

} // namespace

Answer rewriteAnswer(const RewriteRequest& r, const Snapshot& s) {
    const engine::Pipeline pipeline(r.settings, thesaurusFor(r, s));
    engine::RewriteState state(r.seed ? *r.seed : freshSeed());
    const Outcome outcome = rewritten(r, pipeline, state);
    const engine::RewriteResult& result = outcome.result;
    if (r.textAnswer) {
        if (r.gbk) return {200, "text/plain; charset=gbk", result.text};
        return {200, "text/plain; charset=utf-8", cp::gbkToUtf8(result.text)};
    }
    Answer a{200, "application/json; charset=utf-8", {}};
    const std::string text = cp::gbkToUtf8(result.text);
    a.body.reserve(text.size() + 64);
    a.body += "{\"text\":";
    appendJsonString(a.body, text, r.gbk);
    a.body += ",\"originality\":" + std::to_string(result.originality.value_or(0));
    a.body += ",\"replacements\":" + std::to_string(result.replacements);
    if (r.marks) appendMarks(a.body, result.text, result.marks);
    if (!outcome.reason.empty()) {
        a.body += ",\"reason\":";
        appendJsonString(a.body, cp::gbkToUtf8(outcome.reason), r.gbk);
    }
    a.body += "}\n";
    return a;
}

} // namespace service
