// batch: the batch job of the window without a window. The command sets up a
// window model as a user would (switches, folders, the list, the target) and
// presses "批量伪原创"; the run, the rewrite, the names, the result text and the
// submissions are the window's own. Requests complete on this thread while it
// waits for them.
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "app/Unit1.h"
#include "app/files.h"
#include "batch/items.h"
#include "batch/source_files.h"
#include "cli/cli_platform.h"
#include "cli/commands.h"
#include "cli/default_db.h"
#include "cli/rewrite_options.h"
#include "protocol/codepage.h"
#include "thesaurus/keyword_store.h"

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
        "result written in the same one (UTF-16 as UTF-8 with a mark); pages and\n"
        "posts are GBK, as in the window.\n"
        "\n"
        "  --source-dir DIR   rewrite the .txt files of DIR\n"
        "  --list FILE        rewrite the pages of the addresses in FILE\n"
        "  --target-dir DIR   write the results into DIR (which must exist)\n"
        "  --post URL         post the results to URL\n"
        "  --id-mode MODE     the id of a post: url (the address; lists only),\n"
        "                     index (the line number from 0) or name (the file name;\n"
        "                     folders only). Default: name for a folder, url for a list.\n") +
    kRewriteOptionsHelp +
    "  -h, --help         show this text\n"
    "Options also take the form --option=VALUE.\n"
    "\n"
    "A progress line goes to standard error when it is a terminal, and a summary\n"
    "at the end: the items done, empty (nothing left after the rewrite) and\n"
    "failed, with the failed ones named.\n" +
    std::string(kDefaultDatabaseHelp) +
    "exit status: 0 when every item is done or empty; 1 when an item failed, the\n"
    "database cannot be read or a file cannot be read or written (a folder run\n"
    "stops there); 2 on a usage error.\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "batch: %s\n%s", message.c_str(), kUsage.c_str());
    return 2;
}

std::string shown(const std::string& gbk) {
    return cp::gbkToUtf8(gbk);
}

bool isDirectory(const std::string& path) {
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
    if (sourceDir && !isDirectory(*sourceDir)) {
        std::fprintf(stderr, "batch: %s is not a folder\n", sourceDir->c_str());
        return 1;
    }
    if (targetDir && !isDirectory(*targetDir)) {
        std::fprintf(stderr, "batch: %s is not a folder\n", targetDir->c_str());
        return 1;
    }

    CliPlatform platform;
    FormOptions formOptions{executableDir(), opts.seed};
    TForm1 form(platform, formOptions);
    form.bschck4.setChecked(opts.settings.synonyms);
    form.bschck1.setChecked(opts.settings.shuffle);
    form.bschck3.setChecked(opts.settings.shuffleSettings.stripSpaces);
    form.bschck2.setChecked(opts.settings.shuffleSettings.stripBreaks);
    form.edt1.setText(opts.settings.shuffleSettings.keyword);
    form.bsknsldr1.setPosition(opts.settings.shuffleSettings.frequency);
    if (opts.settings.synonyms) {
        if (!resolveDatabase(opts.dbPath, "batch")) return 1;
        try {
            form.Database = KeywordStore::open(opts.dbPath);
            form.loadDB();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "batch: cannot read the thesaurus database %s: %s\n",
                         opts.dbPath.c_str(), e.what());
            return 1;
        }
    } else {
        form.ThesaurusLoaded = true; // nothing to load without synonyms
    }
    for (const std::string& word : opts.protectedWords)
        form.ProtectedWords.push_back(word);
    form.LoggedIn = true;

    if (fromList) {
        std::string list;
        try {
            list = batch::readArticle(gbkPath(*listFile)).text;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "batch: %s\n", shown(e.what()).c_str());
            return 1;
        }
        form.mmo2.setText(list);
    } else {
        form.edt3.setText(gbkPath(*sourceDir));
    }
    if (targetDir) form.edt4.setText(gbkPath(*targetDir));
    if (postUrl) form.edt8.setText(*postUrl);
    form.bsknrdgrp2.setItemIndex(fromList ? 1 : 0);
    form.bsknrdgrp3.setItemIndex(targetDir ? 0 : 1);
    form.bsknrdgrp1.setItemIndex(mode);

    std::map<int, std::string> failures;
    form.OnBatchItemFailed = [&](int index, const std::string& reason) {
        failures.emplace(index, reason);
    };

    // The progress line: files done of files listed, or requests finished.
    const bool progress = ::isatty(STDERR_FILENO) == 1;
    auto lastShown = std::chrono::steady_clock::now();
    bool lineOpen = false;
    auto showProgress = [&](bool force) {
        if (!progress) return;
        const auto now = std::chrono::steady_clock::now();
        if (!force && now - lastShown < std::chrono::milliseconds(200)) return;
        lastShown = now;
        const int total = form.BatchTotal;
        int done = form.bsSkinGauge1.value();
        if (fromList) {
            // Lines marked so far and lines that failed.
            done = static_cast<int>(failures.size());
            const std::string& text = form.mmo2.text();
            for (const std::string* marker : {&batch::doneMarker(), &batch::emptyMarker()})
                for (size_t at = text.find(*marker); at != std::string::npos;
                     at = text.find(*marker, at + 1))
                    ++done;
        }
        std::fprintf(stderr, "\rbatch: %d/%d", done < 0 ? 0 : done, total);
        lineOpen = true;
    };
    auto endLine = [&] {
        if (lineOpen) std::fputc('\n', stderr);
        lineOpen = false;
    };
    platform.onEvents = [&] { showProgress(false); };
    platform.beforeSay = endLine;

    form.run([&] { form.btn11Click(); });
    platform.waitUntil([&] { return form.Requests.empty(); });
    showProgress(true);
    endLine();

    const StringList lines = fromList ? form.mmo2.lines() : form.mmo1.lines();
    if (lines.empty() || form.BatchTotal == 0)
        std::fprintf(stderr, "batch: %s\n", shown(form.lbl19.caption()).c_str());
    int done = 0, empty = 0;
    std::vector<std::string> failed;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        const std::string item = batch::withoutMarkers(line);
        const auto failure = failures.find(static_cast<int>(i));
        const bool marked = line.size() != item.size();
        if (failure != failures.end())
            failed.push_back(shown(item) + ": " + shown(failure->second));
        else if (!marked)
            failed.push_back(shown(item) + (platform.errors ? ": not done" : ": failed"));
        else if (line.ends_with(batch::emptyMarker()))
            ++empty;
        else
            ++done;
    }
    std::fprintf(stderr, "batch: %d done, %d empty, %zu failed\n", done, empty, failed.size());
    for (const std::string& f : failed)
        std::fprintf(stderr, "  %s\n", f.c_str());
    return failed.empty() && platform.errors == 0 ? 0 : 1;
}

} // namespace cli
