#pragma once
// A batch item that is a web page, in the run's html mode: what goes to the
// target, or why nothing does. An item that is not a page, and every item in
// mode text, is an article of plain text and goes the job's usual way.
//
// A kept page is written as the page it is, in its own encoding: a folder
// run under its source's name, a list run as "..._N.html". A post carries
// it as GBK text, like every post, with its <meta> charset changed to gbk.
// An extracted article is text: written in its source file's encoding (a
// list run's in GBK) under the names text results get.
#include <optional>
#include <string>

#include "engine/pipeline.h"
#include "engine/text_file.h"
#include "html/page.h"

namespace batch {

struct PageItem {
    enum Kind { Page, Article, Empty, Failed };
    Kind kind = Empty;
    // Page: the page's bytes; Article: GBK text with CR LF after every line.
    std::string output;
    // The file encoding `output` is written in (a page's bytes as they are).
    textfile::Encoding encoding = textfile::Encoding::Gbk;
    html::PageCharset charset;
    std::string source, rewritten; // for the originality score
    std::string reason;            // Empty, Failed (GBK)

    // What a post carries (GBK).
    std::string postText() const;
    // The end of a list run's file name.
    const char* extension() const { return kind == Page ? ".html" : ".txt"; }
};

// A folder item as the run read it (GBK text and the encoding of its file):
// a page by its name or by the start of its text. Nothing when it is not one.
// A failure names the file.
std::optional<PageItem> folderPageItem(html::Mode mode, const std::string& path,
                                       const std::string& text, textfile::Encoding encoding,
                                       const engine::Pipeline& pipeline,
                                       engine::RewriteState& state);

// A fetched answer as it came: a page by its Content-Type or its start.
std::optional<PageItem> fetchedPageItem(html::Mode mode, const std::string& body,
                                        const std::string& contentType,
                                        const engine::Pipeline& pipeline,
                                        engine::RewriteState& state);

} // namespace batch
