// wyc-cli thesaurus: lists, adds, imports and exports the word pairs of
// setting.dat without the window.
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/commands.h"
#include "cli/default_db.h"
#include "cli/thesaurus_tools.h"
#include "protocol/codepage.h"
#include "thesaurus/keyword_store.h"
#include "thesaurus/pair_file.h"
#include "thesaurus/pair_import.h"
#include "thesaurus/pair_list_file.h"

namespace cli {

int usageError(const std::string& what) {
    std::fprintf(stderr, "thesaurus: %s\nRun 'wyc-cli thesaurus --help' for usage.\n",
                 what.c_str());
    return 2;
}

std::string argumentWord(const std::string& arg, const char* which, std::string& gbk) {
    if (arg.empty()) return std::string("the ") + which + " word is empty";
    if (!cp::isValidUtf8(arg)) return std::string("the ") + which + " word is not UTF-8";
    gbk = cp::utf8ToGbk(arg);
    return {};
}

namespace {

constexpr const char* kHelp =
    R"(usage: wyc-cli thesaurus [OPTIONS] COMMAND [ARGS]
Works on the word pairs (table keyword) and the protected words (table
protectword, made when the first word is added) of the thesaurus database.

commands:
  list              print every pair, one per line: id<TAB>original<TAB>new<TAB>是|否
  add OW NW         store one pair unless the same two words are stored already
                    (--unused stores it as not in use); words that import
                    would refuse (see below) are refused
  import FILE       add the pairs of FILE that are not stored yet
  export FILE       write every pair to FILE
  protect list      print the protected words, one per line
  protect add WORD  protect WORD: synonym replacement never changes it (no
                    thesaurus word matches any part of it, and a replacement
                    beside it cannot merge with it); the shuffle never cuts it
  protect remove WORD
                    protect WORD no longer
  check             list where the in-use pairs work against each other (below)
FILE "-" is standard input (import) or standard output (export).

options:
  --db FILE         the database (default: setting.dat in the working directory,
                    else the user's own: see below); a file named by --db must
                    exist, it is never created
  --encoding ENC    gbk (default) or utf-8: the encoding of the FILE of import and
                    export. Without this option, import reads a file that is valid
                    UTF-8 with Chinese text as UTF-8. A file that starts with a
                    UTF-8 or UTF-16 byte-order mark is read by that mark.
                    Characters outside GBK are kept (as GB18030). Only regular
                    files up to 64 MB (or standard input) are read.
  --file LIST       check: the pairs of LIST instead of the database, a UTF-8
                    list of 'original<TAB>new' lines as in data/synonyms.txt
                    (lines starting with '#' skipped); ids are line numbers
  --words FILE      check: also list the pairs that fire inside longer words of
                    FILE, a UTF-8 list of the language's words, one per line,
                    optionally followed by a count (as in jieba's dict.txt:
                    "word count tag")
  --min-count N     check --words: only words with a count of at least N
                    (default 0: every word)
  --unused          add: the pair takes no part in replacement
  --strict          import: a malformed line rejects the whole file
  -h, --help        this text
Arguments (words, file names) and printed words are UTF-8.

file format (what the window's export writes):
  one pair per line: ORIGINAL,NEW,是  or  ORIGINAL,NEW,否  or  ORIGINAL,NEW
  (without the third field the pair is in use). Lines end in CR CR LF (as the
  window writes them), CR LF or LF. Words are taken exactly as written, spaces
  included; spaces around 是/否 are ignored. Export writes CR CR LF.

import:
  Blank lines are skipped. A pair whose original and new word are both stored
  already (or appear on an earlier line) is skipped as a duplicate. A line is
  malformed, and rejected, when it
    - is not valid text in the file's encoding,
    - has no ASCII comma ',' (a TAB or the Chinese comma '，' is no separator),
    - has more than three fields (words cannot contain a comma),
    - has an empty or blank (spaces only) word, or a control character in a word,
    - has a third field other than 是 or 否.
  The import is one transaction: if it fails, the database is left as it was.
  It prints the number of pairs added, duplicates and malformed lines with their
  line numbers (each malformed line with its reason on standard error).

check:
  The in-use pairs are applied in ascending id, one after the other on the text
  the earlier ones left, so a large thesaurus can work against itself. For
  pairs i before j (ow = original word, nw = new word):
    undone     ow_j occurs inside nw_i, and replacing every occurrence of ow_j
               in nw_i by nw_j gives ow_i (A->B, then B->A)
    chain      otherwise, ow_j occurs inside nw_i (A->B then B->C: A ends as C)
    shadowed   ow_i occurs inside ow_j and differs from it: pair i has already
               changed it wherever it stood, so pair j can never fire there
    duplicate  ow_i == ow_j (one line per word, with all its pairs)
    no-op      ow == nw (a single pair)
    inside a longer word
               (with --words) a listed word longer than ow_i, standing alone,
               has ow_i replaced inside it by the thesaurus (大多 in 大多数,
               unless a pair for 大多数 comes first); the words follow in a
               fourth field, separated by spaces, the most common first
  "Occurs inside" is at character boundaries, as replacement matches; an empty
  word occurs nowhere. One line per finding: KIND<TAB>id[,id...]<TAB>words, the
  words as original→new of each pair, separated by a space; sorted by ids.

exit status: 0 done (also with duplicates or malformed lines skipped; check:
nothing found), 1 failed (nothing changed), 2 wrong usage, 3 check: findings
listed.
)";

struct Options {
    std::string db; // empty: found by resolveDatabase()
    pairfile::Encoding encoding = pairfile::Encoding::Gbk;
    bool encodingGiven = false;
    bool unused = false;
    bool strict = false;
    CheckOptions check;            // check --file, --words, --min-count
    std::vector<std::string> args; // command and its arguments
};

std::string utf8(const std::string& gbk) {
    return cp::gbkToUtf8(gbk);
}

// "3, 5-9, 12" for a sorted list of line numbers.
std::string lineRanges(const std::vector<int>& lines) {
    std::string out;
    for (size_t i = 0; i < lines.size();) {
        size_t j = i;
        while (j + 1 < lines.size() && lines[j + 1] == lines[j] + 1)
            ++j;
        if (!out.empty()) out += ", ";
        out += std::to_string(lines[i]);
        if (j > i) out += "-" + std::to_string(lines[j]);
        i = j + 1;
    }
    return out;
}

std::string countedLines(size_t n, const std::vector<int>& lines) {
    if (n == 0) return "0";
    return std::to_string(n) + (n == 1 ? " (line " : " (lines ") + lineRanges(lines) + ")";
}

bool writeOutput(const std::string& name, const std::string& bytes) {
    if (name == "-") {
        std::cout.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        std::cout.flush();
        return static_cast<bool>(std::cout);
    }
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

std::unique_ptr<KeywordStore> openStore(const Options& o) {
    try {
        return KeywordStore::open(o.db);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "thesaurus: cannot open %s: %s\n", o.db.c_str(), e.what());
        return nullptr;
    }
}

int listCommand(const Options& o) {
    if (o.args.size() != 1) return usageError("list takes no arguments");
    auto store = openStore(o);
    if (!store) return 1;
    try {
        auto cursor = store->all();
        KeywordRecord r;
        std::string out;
        const std::string yes = "是", no = "否";
        while (cursor.next(r)) {
            out +=
                r.id + "\t" + utf8(r.ow) + "\t" + utf8(r.nw) + "\t" + (r.isused ? yes : no) + "\n";
            if (out.size() > (1 << 16)) {
                std::fwrite(out.data(), 1, out.size(), stdout);
                out.clear();
            }
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "thesaurus: list failed: %s\n", e.what());
        return 1;
    }
    return 0;
}

int addCommand(const Options& o) {
    if (o.args.size() != 3) return usageError("add takes two words: add ORIGINAL NEW");
    std::string ow, nw;
    if (auto why = argumentWord(o.args[1], "original", ow); !why.empty()) return usageError(why);
    if (auto why = argumentWord(o.args[2], "new", nw); !why.empty()) return usageError(why);
    // What import would refuse, add refuses too, so every stored pair survives
    // an export and import round trip.
    for (const auto& [word, which] : {std::pair{&ow, "original"}, std::pair{&nw, "new"}})
        if (auto why = pairfile::wordProblem(*word, which); !why.empty()) return usageError(why);
    auto store = openStore(o);
    if (!store) return 1;
    try {
        if (auto found = store->findPair(ow, nw)) {
            std::printf("already stored as id %s; nothing added\n", found->id.c_str());
            return 0;
        }
        auto r = store->append(ow, nw, !o.unused);
        std::printf("added id %s: %s -> %s (%s)\n", r.id.c_str(), utf8(r.ow).c_str(),
                    utf8(r.nw).c_str(), r.isused ? "in use" : "not in use");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "thesaurus: add failed: %s\n", e.what());
        return 1;
    }
    return 0;
}

int importCommand(const Options& o) {
    if (o.args.size() != 2) return usageError("import takes one file: import FILE");
    const std::string& file = o.args[1];
    pairfile::ListFile list;
    try {
        list = pairfile::readList(file, o.encodingGiven ? std::optional(o.encoding) : std::nullopt,
                                  true);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "thesaurus: cannot read %s: %s\n", file.c_str(), e.what());
        return 1;
    }
    if (list.readAs == pairfile::ReadAs::Utf16ByMark)
        std::fprintf(stderr, "note: %s is UTF-16 (byte-order mark); reading it as such\n",
                     file.c_str());
    else if (list.readAs == pairfile::ReadAs::Utf8Detected)
        std::fprintf(stderr,
                     "note: %s is UTF-8 text; reading it as UTF-8 (--encoding gbk forces GBK)\n",
                     file.c_str());
    const pairfile::Parsed& parsed = list.parsed;
    std::vector<int> malformedLines;
    for (const auto& m : parsed.malformed) {
        std::fprintf(stderr, "%s:%d: %s\n", file.c_str(), m.line, m.reason.c_str());
        malformedLines.push_back(m.line);
    }
    if (o.strict && !parsed.malformed.empty()) {
        std::fprintf(stderr, "thesaurus: %zu malformed line(s); nothing imported (--strict)\n",
                     parsed.malformed.size());
        return 1;
    }
    auto store = openStore(o);
    if (!store) return 1;
    ImportResult result;
    try {
        result = importPairs(*store, parsed.pairs);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "thesaurus: import failed, the database is unchanged: %s\n", e.what());
        return 1;
    }
    std::printf("added: %d\nduplicates: %s\nmalformed: %s\n", result.added,
                countedLines(result.duplicateLines.size(), result.duplicateLines).c_str(),
                countedLines(malformedLines.size(), malformedLines).c_str());
    return 0;
}

int exportCommand(const Options& o) {
    if (o.args.size() != 2) return usageError("export takes one file: export FILE");
    const std::string& file = o.args[1];
    auto store = openStore(o);
    if (!store) return 1;
    std::string gbk;
    int count = 0;
    std::vector<std::string> unreadable;
    try {
        auto cursor = store->all();
        KeywordRecord r;
        const std::string yes = cp::G("是"), no = cp::G("否");
        while (cursor.next(r)) {
            gbk += pairfile::formatLine(r.ow, r.nw, r.isused ? yes : no);
            ++count;
            auto awkward = [](const std::string& w) {
                return w.empty() || w.find_first_of(",\r\n") != std::string::npos;
            };
            if (awkward(r.ow) || awkward(r.nw)) unreadable.push_back(r.id);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "thesaurus: export failed: %s\n", e.what());
        return 1;
    }
    const std::string bytes = o.encoding == pairfile::Encoding::Utf8 ? cp::gbkToUtf8(gbk) : gbk;
    if (!writeOutput(file, bytes)) {
        std::fprintf(stderr, "thesaurus: cannot write %s\n", file.c_str());
        return 1;
    }
    for (const auto& id : unreadable)
        std::fprintf(stderr,
                     "warning: id %s has an empty word or a comma or line break in a word; "
                     "import will not read its line back\n",
                     id.c_str());
    // With the pairs on standard output the count goes to standard error.
    std::fprintf(file == "-" ? stderr : stdout, "exported %d pairs to %s\n", count, file.c_str());
    return 0;
}

// Parses options anywhere on the line; "--" ends them (for words starting
// with "-"). Returns -1 to go on, or an exit status.
int parseOptions(int argc, char** argv, Options& o) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (optionsEnded || a.size() < 2 || a[0] != '-') {
            o.args.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        if (a == "-h" || a == "--help") {
            std::printf("%s\n%s", kHelp, kDefaultDatabaseHelp);
            return 0;
        }
        std::string value;
        std::string name = a;
        bool hasValue = false;
        if (auto eq = a.find('='); eq != std::string::npos) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
            hasValue = true;
        }
        auto takeValue = [&]() -> bool {
            if (hasValue) return true;
            if (i + 1 >= argc) return false;
            value = argv[++i];
            return true;
        };
        if (name == "--db") {
            if (!takeValue() || value.empty()) return usageError("--db needs a file name");
            o.db = value;
        } else if (name == "--encoding") {
            if (!takeValue()) return usageError("--encoding needs gbk or utf-8");
            for (auto& c : value)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (value == "gbk" || value == "cp936")
                o.encoding = pairfile::Encoding::Gbk;
            else if (value == "utf-8" || value == "utf8")
                o.encoding = pairfile::Encoding::Utf8;
            else
                return usageError("unknown encoding '" + value + "' (gbk or utf-8)");
            o.encodingGiven = true;
        } else if (name == "--file") {
            if (!takeValue() || value.empty()) return usageError("--file needs a file name");
            o.check.file = value;
        } else if (name == "--words") {
            if (!takeValue() || value.empty()) return usageError("--words needs a file name");
            o.check.words = value;
        } else if (name == "--min-count") {
            const bool number = takeValue() && !value.empty() &&
                                value.find_first_not_of("0123456789") == std::string::npos &&
                                value.size() < 19;
            if (!number) return usageError("--min-count needs a whole number");
            o.check.minCount = std::stoull(value);
        } else if (name == "--unused" && !hasValue) {
            o.unused = true;
        } else if (name == "--strict" && !hasValue) {
            o.strict = true;
        } else {
            return usageError("unknown option " + a);
        }
    }
    return -1;
}

} // namespace

int thesaurusMain(int argc, char** argv) {
    Options o;
    if (int status = parseOptions(argc, argv, o); status >= 0) return status;
    if (o.args.empty())
        return usageError("missing command (list, add, import, export, protect or check)");
    const std::string& cmd = o.args[0];
    const bool known = cmd == "list" || cmd == "add" || cmd == "import" || cmd == "export" ||
                       cmd == "protect" || cmd == "check";
    if (!known) return usageError("unknown command '" + cmd + "'");
    const bool usesDb = cmd != "check" || o.check.file.empty();
    if (usesDb && !resolveDatabase(o.db, "thesaurus")) return 1;
    if (cmd == "list") return listCommand(o);
    if (cmd == "add") return addCommand(o);
    if (cmd == "import") return importCommand(o);
    if (cmd == "export") return exportCommand(o);
    if (cmd == "protect") return protectCommand(o.db, o.args);
    if (cmd == "check") return checkCommand(o.db, o.check, o.args);
    return usageError("unknown command '" + cmd + "'");
}

} // namespace cli
