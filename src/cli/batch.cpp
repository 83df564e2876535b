// batch: the batch job of the window without a window: the same job, the same
// rewrite pipeline, names, result text and submissions. Requests complete on
// this thread while it waits for them.
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "batch/items.h"
#include "batch/job.h"
#include "batch/net_transport.h"
#include "batch/source_files.h"
#include "cli/cli_loop.h"
#include "cli/commands.h"
#include "cli/default_db.h"
#include "cli/rewrite_options.h"
#include "engine/files.h"
#include "engine/textutil.h"
#include "protocol/codepage.h"

namespace cli {
namespace {

const std::string kUsage =
    std::string(
        "usage: wyc-cli batch [OPTIONS] (--source-dir DIR | --list FILE)\n"
        "                     (--target-dir DIR | --post URL) [--id-mode url|index|name]\n"
        "Rewrites many articles as the window's batch page does: every .txt file of\n"
        "DIR (any letter case of the extension, in name order), or the page at every\n"
        "address of FILE (one per line; blank lines are skipped but keep their\n"
        "number). Each result goes to a file of the target folder (a source file's\n"
        "name, or the address with : / * ? < > | made \"_\" followed by \"_\" + its\n"
        "line number from 0 + \".txt\") or is posted to URL as id=ID&content=TEXT.\n"
        "Results have CR LF after every line. A source file is read in the encoding\n"
        "it was saved in (a byte-order mark, else UTF-8 when valid, else GBK) and its\n"
        "result written in the same one (UTF-16 as UTF-8 with a mark); fetched texts\n"
        "and posts are GBK, as in the window.\n"
        "Web pages (see --html): with keep or extract, DIR's .htm and .html files\n"
        "are rewritten too, each result under its source's name. A kept page is\n"
        "written as a page in its own encoding (a list's as \"_\" + line number +\n"
        "\".html\") and posted as GBK text with its <meta> charset made gbk; an\n"
        "extracted article is text, as above. A page with no article is empty.\n"
        "\n"
        "  --source-dir DIR   rewrite the .txt files of DIR\n"
        "  --list FILE        rewrite the pages of the addresses in FILE\n"
        "  --target-dir DIR   write the results into DIR (made when it is missing)\n"
        "  --post URL         post the results to URL\n"
        "  --id-mode MODE     the id of a post: url (the address; lists only),\n"
        "                     index (the line number from 0) or name (the file name;\n"
        "                     folders only). Default: name for a folder, url for a list.\n") +
    kRewriteOptionsHelp +
    "  -h, --help         show this text\n"
    "Options also take the form --option=VALUE.\n"
    "\n"
    "A progress line goes to standard error when it is a terminal, and a summary\n"
    "at the end: the items done, empty (nothing left after the rewrite, or no\n"
    "article in a page) and failed, with the failed ones named, and the empty\n"
    "ones that have a reason.\n" +
    std::string(kDefaultDatabaseHelp) +
    "An address answered with an HTTP error (400 or above) is a failed item, as\n"
    "is a post the server refuses; a file that cannot be read or written fails\n"
    "its item and the run goes on with the others.\n"
    "exit status: 0 when every item is done or empty; 1 when an item failed or\n"
    "the database cannot be read; 2 on a usage error.\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "batch: %s\n%s", message.c_str(), kUsage.c_str());
    return 2;
}

std::string shown(const std::string& gbk) {
    return cp::gbkToUtf8(gbk);
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

int batchMain(int argc, char** argv) {
    RewriteOptions opts;
    std::optional<std::string> sourceDir, listFile, targetDir, postUrl, idMode;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-' || argv[i][1] == '\0')
            return usageError(std::string("unexpected argument '") + argv[i] + "'");
        Argument arg(argc, argv, i);
        const std::string& name = arg.name();
        std::string error;
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
        }
        std::optional<std::string>* slot = name == "--source-dir"   ? &sourceDir
                                           : name == "--list"       ? &listFile
                                           : name == "--target-dir" ? &targetDir
                                           : name == "--post"       ? &postUrl
                                           : name == "--id-mode"    ? &idMode
                                                                    : nullptr;
        if (name == "--encoding" || name == "--report")
            return usageError(name + " is an option of rewrite only: a batch reads and writes "
                                     "its files as the window does, and sums up at the end");
        if (!slot) return usageError("unknown option " + name);
        std::string v;
        if (!arg.value(v) || v.empty()) return usageError(name + " needs a value");
        if (*slot) return usageError(name + " is given twice");
        *slot = v;
    }
    if (sourceDir.has_value() == listFile.has_value())
        return usageError("give one of --source-dir and --list");
    if (targetDir.has_value() == postUrl.has_value())
        return usageError("give one of --target-dir and --post");
    const bool fromList = listFile.has_value();
    int mode = fromList ? 0 : 2;
    if (idMode) {
        const std::string m = lower(*idMode);
        if (m == "url" && fromList)
            mode = 0;
        else if (m == "index")
            mode = 1;
        else if (m == "name" && !fromList)
            mode = 2;
        else
            return usageError("--id-mode " + *idMode + " does not fit the source" +
                              std::string(fromList ? " (a list takes url or index)"
                                                   : " (a folder takes name or index)"));
    }
    if (auto problem = checkRewriteOptions(opts)) {
        std::fprintf(stderr, "batch: %s\n", problem->c_str());
        return 1;
    }
    if (sourceDir && !isFolder(*sourceDir)) {
        std::fprintf(stderr, "batch: %s is not a folder\n", sourceDir->c_str());
        return 1;
    }
    // The target folder is made, with its parents, when it is missing.
    if (targetDir) {
        try {
            makeDirectories(gbkPath(*targetDir));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "batch: cannot make the folder %s: %s\n", targetDir->c_str(),
                         shown(e.what()).c_str());
            return 1;
        }
    }

    const auto thesaurus = commandThesaurus(opts, "batch");
    if (!thesaurus) return 1;
    const engine::Pipeline pipeline(opts.settings, thesaurus);
    engine::RewriteState state(opts.seed);

    batch::JobSettings settings;
    if (fromList) {
        settings.source = batch::Source::List;
        try {
            settings.lines = linesOf(batch::readArticle(gbkPath(*listFile)).text);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "batch: %s\n", shown(e.what()).c_str());
            return 1;
        }
    } else {
        settings.source = batch::Source::Folder;
        settings.sourceDir = gbkPath(*sourceDir);
    }
    if (targetDir) {
        settings.target = batch::Target::Folder;
        settings.targetDir = gbkPath(*targetDir);
    } else {
        settings.target = batch::Target::Post;
        settings.postUrl = *postUrl;
    }
    settings.idMode = static_cast<batch::IdMode>(mode);
    settings.html = opts.html;

    // The progress line: items finished of the items of the run.
    const bool progress = ::isatty(STDERR_FILENO) == 1;
    auto lastShown = std::chrono::steady_clock::now();
    bool lineOpen = false;
    int finished = 0, total = 0;
    auto showProgress = [&](bool force) {
        if (!progress) return;
        const auto now = std::chrono::steady_clock::now();
        if (!force && now - lastShown < std::chrono::milliseconds(200)) return;
        lastShown = now;
        std::fprintf(stderr, "\rbatch: %d/%d", finished, total);
        lineOpen = true;
    };
    auto endLine = [&] {
        if (lineOpen) std::fputc('\n', stderr);
        lineOpen = false;
    };

    CliLoop loop;
    loop.onEvents = [&] { showProgress(false); };
    std::map<int, std::string> failures; // by item index
    std::map<int, std::string> emptyWhy; // empty items that have a reason
    std::set<int> settled;               // items done, empty or failed
    batch::JobHooks hooks;
    hooks.pipeline = [&pipeline] { return pipeline; };
    hooks.state = &state;
    hooks.yield = [&loop] { loop.processEvents(); };
    batch::Job job(std::move(settings), std::move(hooks), [&](const batch::Event& e) {
        switch (e.kind) {
        case batch::Event::Failed:
            failures.emplace(e.item.index, e.detail);
            [[fallthrough]];
        case batch::Event::Empty:
            if (!e.detail.empty()) emptyWhy.emplace(e.item.index, e.detail);
            [[fallthrough]];
        case batch::Event::Written:
        case batch::Event::Posted:
            if (settled.insert(e.item.index).second) ++finished;
            break;
        default:
            break;
        }
    });
    batch::NetTransport transport(loop);
    transport.attach(job);

    if (!job.prepare()) {
        std::fprintf(stderr, "batch: %s\n",
                     fromList ? "the list holds no address"
                              : shown(cp::G("【提示信息】源目录内没有TXT文件.")).c_str());
    }
    total = static_cast<int>(job.items().size());
    job.start();
    loop.waitUntil([&] { return transport.pending() == 0; });
    showProgress(true);
    endLine();

    const batch::Job::Summary& sum = job.summary();
    std::vector<std::string> failed, empty;
    for (const batch::Item& item : job.items()) {
        if (const auto failure = failures.find(item.index); failure != failures.end())
            failed.push_back(shown(item.name) + ": " + shown(failure->second));
        else if (!settled.count(item.index))
            failed.push_back(shown(item.name) + ": not done");
        else if (const auto why = emptyWhy.find(item.index); why != emptyWhy.end())
            empty.push_back(shown(item.name) + ": empty: " + shown(why->second));
    }
    std::fprintf(stderr, "batch: %d done, %d empty, %zu failed\n", sum.done, sum.empty,
                 failed.size());
    for (const std::string& f : failed)
        std::fprintf(stderr, "  %s\n", f.c_str());
    for (const std::string& e : empty)
        std::fprintf(stderr, "  %s\n", e.c_str());
    return failed.empty() ? 0 : 1;
}

} // namespace cli
