// rewrite: the window's two rewrite steps (synonyms, then the shuffle) on
// files or standard input, without a window.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/default_db.h"
#include "cli/rewrite_options.h"
#include "engine/originality.h"
#include "engine/pipeline.h"
#include "engine/text_file.h"
#include "html/page_pipeline.h"
#include "protocol/codepage.h"

namespace cli {
namespace {

const std::string kUsage =
    std::string("usage: wyc-cli rewrite [OPTIONS] [FILE...]\n"
                "Rewrites each FILE (or standard input when no FILE is given, or for '-') and\n"
                "writes the result to standard output, one file after the other. The steps are\n"
                "those of the window: synonym replacement from the thesaurus, then, when asked,\n"
                "the shuffle.\n"
                "\n"
                "options:\n") +
    kRewriteOptionsHelp +
    "  --encoding ENC     encoding of input and output: auto (default), gbk or\n"
    "                     utf-8. auto reads each input in its own encoding and\n"
    "                     writes its result in the same one: a byte-order mark\n"
    "                     decides (UTF-8, UTF-16LE, UTF-16BE; UTF-16 is written as\n"
    "                     UTF-8 with a mark), else valid UTF-8 is UTF-8, else GBK\n"
    "                     (GB18030). gbk and utf-8 force both sides. A web page\n"
    "                     (see --html) is read as the browser reads it: its\n"
    "                     byte-order mark, a forced encoding, its <meta> charset,\n"
    "                     else detection; a kept page is written in its own\n"
    "                     encoding, an extracted article in the file's.\n"
    "  --report           write one line per article to standard error:\n"
    "                     FILE<TAB>ORIGINALITY<TAB>REPLACEMENTS ('-' for standard\n"
    "                     input). REPLACEMENTS counts every occurrence a pair\n"
    "                     replaced (a word replaced again by a later pair counts\n"
    "                     again); ORIGINALITY is the score below.\n"
    "  -h, --help         show this text\n"
    "Options also take the form --option=VALUE; '--' ends the options.\n"
    "\n"
    "originality (the window's 原创度): of the article and of its result only the\n"
    "Chinese characters, letters and digits count, in order; everything else is\n"
    "dropped. Originality is the share of the result's 4-character shingles (every\n"
    "run of 4 consecutive counted characters, counted by position) that occur\n"
    "nowhere among the article's shingles, as a whole percent rounded down. A\n"
    "result with fewer than 4 counted characters scores 0. Counted are CJK\n"
    "ideographs (U+3007, U+3400-4DBF, U+4E00-9FFF, U+F900-FAFF, U+20000-3FFFF, also\n"
    "outside GBK), ASCII letters and digits and their full-width forms, and the\n"
    "letters of U+00C0-024F (but for the signs x and /), Greek U+0391-03C9 and\n"
    "Cyrillic U+0400-04FF; no case folding.\n"
    "\n"
    "Only regular files (and standard input) up to 64 MB are read.\n"
    "\n" +
    std::string(kDefaultDatabaseHelp) +
    "\n"
    "exit status: 0 on success; 1 when the database cannot be read, a file cannot\n"
    "be read or rewritten (nothing of that file is written; the other files are\n"
    "still processed; a page over 16 MB is not rewritten) or the frequency is out\n"
    "of range; 2 on a usage error. A page in which --html extract finds no article\n"
    "writes nothing, and standard error says why.\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "rewrite: %s\n%s", message.c_str(), kUsage.c_str());
    return 2;
}

} // namespace

int rewriteMain(int argc, char** argv) {
    RewriteOptions opts;
    bool autoEncoding = true; // each input in its own encoding, else `forced`
    textfile::Encoding forced = textfile::Encoding::Gbk;
    bool report = false;
    std::vector<std::string> files;

    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (optionsEnded || word == "-" || word.empty() || word[0] != '-') {
            files.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        Argument arg(argc, argv, i);
        const std::string& name = arg.name();
        std::string error, v;
        switch (parseRewriteOption(arg, opts, error)) {
        case Parsed::Taken:
            continue;
        case Parsed::Error:
            return usageError(error);
        case Parsed::NotMine:
            break;
        }
        if (name == "-h" || name == "--help") {
            std::fputs(kUsage.c_str(), stdout);
            return 0;
        } else if (name == "--report") {
            if (!arg.isFlag()) return usageError("option --report takes no value");
            report = true;
        } else if (name == "--encoding") {
            if (!arg.value(v)) return usageError("--encoding needs auto, gbk or utf-8");
            const std::string e = lower(v);
            autoEncoding = e == "auto";
            if (e == "gbk" || e == "cp936" || e == "gb18030")
                forced = textfile::Encoding::Gbk;
            else if (e == "utf-8" || e == "utf8")
                forced = textfile::Encoding::Utf8;
            else if (!autoEncoding)
                return usageError("unknown encoding '" + v + "' (use auto, gbk or utf-8)");
        } else {
            return usageError("unknown option " + name);
        }
    }

    if (auto problem = checkRewriteOptions(opts)) {
        std::fprintf(stderr, "rewrite: %s\n", problem->c_str());
        return 1;
    }
    const auto thesaurus = commandThesaurus(opts, "rewrite");
    if (!thesaurus) return 1;
    const engine::Pipeline pipeline(opts.settings, thesaurus);
    engine::RewriteState state(opts.seed);

    if (files.empty()) files.push_back("-");
    int status = 0;
    for (const std::string& file : files) {
        const std::string shown = file == "-" ? "standard input" : file;
        std::string result;
        engine::RewriteResult rewritten;
        try {
            const std::string bytes = textfile::readBytes(file, true);
            const textfile::Encoding encoding =
                autoEncoding ? textfile::detectEncoding(bytes) : forced;
            // A forced encoding is a page's charset, as an HTTP header gives it.
            const std::string type = autoEncoding                          ? ""
                                     : encoding == textfile::Encoding::Gbk ? "; charset=gbk"
                                                                           : "; charset=utf-8";
            const std::string name = file == "-" ? "" : file;
            if (opts.html != html::Mode::Text && html::isHtml(type, name, bytes)) {
                html::PipelinePage page =
                    html::rewritePageWith(bytes, type, name, opts.html, pipeline, state);
                if (page.page.failed) throw std::runtime_error(cp::gbkToUtf8(page.page.reason));
                if (page.page.output.empty())
                    std::fprintf(stderr, "rewrite: %s: %s\n", shown.c_str(),
                                 cp::gbkToUtf8(page.page.reason).c_str());
                // A kept page is written as it is; an article in the file's encoding.
                result = page.page.isPage ? std::move(page.page.output)
                                          : textfile::encode(page.page.output, encoding);
                rewritten.replacements = page.replacements;
                if (report)
                    rewritten.originality = engine::originality(page.source, page.rewritten);
            } else {
                const std::string text = textfile::decode(bytes, encoding);
                if (textfile::writtenAs(encoding) != encoding)
                    std::fprintf(stderr, "note: %s is UTF-16; its result is written as UTF-8\n",
                                 shown.c_str());
                rewritten = pipeline.rewrite(text, state, {.originality = report});
                result = textfile::encode(rewritten.text, encoding);
            }
        } catch (const std::exception& e) {
            std::fprintf(stderr, "rewrite: %s: %s\n", shown.c_str(), e.what());
            status = 1;
            continue;
        }
        if (std::fwrite(result.data(), 1, result.size(), stdout) != result.size() ||
            std::fflush(stdout) != 0) {
            std::fprintf(stderr, "rewrite: cannot write standard output: %s\n",
                         std::strerror(errno));
            return 1;
        }
        if (report)
            std::fprintf(stderr, "%s\t%d\t%zu\n", file.c_str(), rewritten.originality.value_or(0),
                         rewritten.replacements);
    }
    return status;
}

} // namespace cli
