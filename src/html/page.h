#pragma once
// One call for a front end or the batch job: a fetched answer or a file, in
// the mode the user chose, rewritten by the caller's rewrite.
//
//   keep     an HTML page comes back as a page in its own encoding, its text
//            rewritten and its markup as it was (keep.h);
//   extract  an HTML page comes back as its article (extract.h), rewritten
//            as one text: GBK, title, empty line, paragraphs, CR LF;
//   text     nothing here: the caller rewrites the answer as plain text.
// Input that is not HTML is plain text in every mode (`handled` is false).
#include <string>
#include <string_view>

#include "html/charset.h"
#include "html/keep.h"

namespace html {

enum class Mode { Keep, Extract, Text };

// "keep", "extract", "text" (the command line's words); false for others.
bool modeFromName(std::string_view name, Mode& mode);

struct PageResult {
    bool handled = false; // false: not HTML, or mode text: rewrite it as plain text
    bool isPage = false;  // true: `output` is page bytes (keep); false: GBK text (extract)
    // The page could not be read as one (too large, broken UTF-16): nothing
    // was rewritten, and `output` is empty rather than the page unchanged.
    bool failed = false;
    std::string output;  // empty when there is nothing to write
    std::string reason;  // why `output` is empty (GBK, for the user)
    PageCharset charset; // the page's encoding (for writing an extraction back)
};

PageResult rewritePage(std::string_view bytes, std::string_view contentType,
                       std::string_view fileName, Mode mode, const TextRewriter& rewrite);

} // namespace html
