#pragma once
// One rewrite as the service answers it: the pipeline run over the request's
// snapshot, and its result as JSON or as the text alone.
#include <string>

#include "service/rewrite_request.h"
#include "service/thesaurus_holder.h"

namespace service {

struct Answer {
    int status = 200;
    std::string contentType;
    std::string body;
};

// JSON: {"text": ..., "originality": N, "replacements": N} in UTF-8 (with
// charset=gbk every non-ASCII character escaped, so that it reads the same as
// GBK), and with marks=1 "marks": [[begin, end], ...], the replaced words as
// UTF-16 offsets into the text, as a browser's strings count; a web page in
// mode extract without an article gives an empty text and "reason": why.
// format=text: the text alone in the request's charset.
Answer rewriteAnswer(const RewriteRequest& request, const Snapshot& snapshot);

} // namespace service
