// rewrite: the window's two rewrite steps (synonyms, then the shuffle) on
// files or standard input, without a window.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "app/text_file.h"
#include "cli/commands.h"
#include "engine/codepage.h"
#include "engine/originality.h"
#include "engine/protected_words.h"
#include "engine/shuffle.h"
#include "engine/synonyms.h"
#include "engine/textutil.h"
#include "thesaurus/keyword_store.h"
#include "thesaurus/protect_store.h"

namespace cli {
namespace {

const char kUsage[] =
    "usage: wyc-cli rewrite [OPTIONS] [FILE...]\n"
    "Rewrites each FILE (or standard input when no FILE is given, or for '-') and\n"
    "writes the result to standard output, one file after the other. The steps are\n"
    "those of the window: synonym replacement from the thesaurus, then, when asked,\n"
    "the shuffle.\n"
    "\n"
    "options:\n"
    "  --db FILE          thesaurus database (default: setting.dat in the working\n"
    "                     directory); its in-use pairs are applied in ascending id,\n"
    "                     its protected words are protected. Not read with\n"
    "                     --no-synonyms (then only --protect words are protected).\n"
    "  --no-synonyms      skip synonym replacement (default: on)\n"
    "  --shuffle          shuffle the article's fragments (default: off)\n"
    "  --keep-spaces      shuffle: keep spaces, ideographic spaces and TABs\n"
    "                     (default: they are removed from the fragments)\n"
    "  --strip-breaks     shuffle: trim the fragments and remove their line breaks\n"
    "  --keyword TEXT     shuffle: append TEXT to some fragments, about N times per\n"
    "                     article (every fragment when there are at most N).\n"
    "                     TEXT is read as UTF-8; bytes that are not valid UTF-8 are\n"
    "                     taken as GBK as they stand.\n"
    "  --frequency N      shuffle: the N above, 2 to 30 (default: 5)\n"
    "  --seed N           seed of the random generator (0 to 2^64-1), so the shuffle\n"
    "                     is repeatable (default: from the system's entropy). The\n"
    "                     generator is mt19937_64; a draw below K takes the next\n"
    "                     output X, skipping X < 2^64 mod K, as X mod K.\n"
    "  --encoding ENC     encoding of input and output: auto (default), gbk or\n"
    "                     utf-8. auto reads each input in its own encoding and\n"
    "                     writes its result in the same one: a byte-order mark\n"
    "                     decides (UTF-8, UTF-16LE, UTF-16BE; UTF-16 is written as\n"
    "                     UTF-8 with a mark), else valid UTF-8 is UTF-8, else GBK\n"
    "                     (GB18030). gbk and utf-8 force both sides.\n"
    "  --protect WORD     protect WORD for this run, beside the protected words\n"
    "                     stored in the database (repeatable; read like --keyword).\n"
    "                     Synonym replacement never changes a protected word: no\n"
    "                     thesaurus word matches any part of one, and a replacement\n"
    "                     beside it cannot merge with it. The shuffle never cuts one.\n"
    "                     Occurrences are found at character boundaries, the longest\n"
    "                     word first; overlapping occurrences are protected together.\n"
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
    "\n"
    "exit status: 0 on success; 1 when the database cannot be read, a file cannot\n"
    "be read or rewritten (nothing of that file is written; the other files are\n"
    "still processed) or the frequency is out of range; 2 on a usage error.\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "rewrite: %s\n%s", message.c_str(), kUsage);
    return 2;
}

std::optional<std::uint64_t> parseUnsigned(const std::string& s) {
    if (s.empty() || s.size() > 20) return std::nullopt;
    std::uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        const auto d = static_cast<std::uint64_t>(c - '0');
        if (v > (UINT64_MAX - d) / 10) return std::nullopt;
        v = v * 10 + d;
    }
    return v;
}

std::optional<long long> parseInteger(const std::string& s) {
    if (s.empty()) return std::nullopt;
    bool negative = s[0] == '-';
    auto v = parseUnsigned(negative || s[0] == '+' ? s.substr(1) : s);
    if (!v || *v > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
    return negative ? -static_cast<long long>(*v) : static_cast<long long>(*v);
}

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

} // namespace

int rewriteMain(int argc, char** argv) {
    std::string dbPath = "setting.dat";
    bool synonyms = true, shuffle = false;
    engine::ShuffleOptions options;
    std::optional<long long> frequency;
    std::optional<std::uint64_t> seed;
    bool autoEncoding = true; // each input in its own encoding, else `forced`
    textfile::Encoding forced = textfile::Encoding::Gbk;
    bool report = false;
    StringList protectedWords;
    std::vector<std::string> files;

    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::optional<std::string> inlineValue;
        if (arg.rfind("--", 0) == 0) {
            if (auto eq = arg.find('='); eq != std::string::npos) {
                inlineValue = arg.substr(eq + 1);
                arg.resize(eq);
            }
        }
        auto value = [&](std::string& out) {
            if (inlineValue) {
                out = *inlineValue;
                return true;
            }
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        auto flag = [&] { return !inlineValue.has_value(); };
        std::string v;
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--no-synonyms" && flag()) {
            synonyms = false;
        } else if (arg == "--shuffle" && flag()) {
            shuffle = true;
        } else if (arg == "--keep-spaces" && flag()) {
            options.stripSpaces = false;
        } else if (arg == "--strip-breaks" && flag()) {
            options.stripBreaks = true;
        } else if (arg == "--report" && flag()) {
            report = true;
        } else if (arg == "--no-synonyms" || arg == "--shuffle" || arg == "--keep-spaces" ||
                   arg == "--strip-breaks" || arg == "--report") {
            return usageError("option " + arg + " takes no value");
        } else if (arg == "--db") {
            if (!value(dbPath) || dbPath.empty()) return usageError("--db needs a file name");
        } else if (arg == "--keyword") {
            if (!value(v)) return usageError("--keyword needs a text");
            options.keyword = cp::isValidUtf8(v) ? cp::utf8ToGbk(v) : v;
        } else if (arg == "--protect") {
            if (!value(v) || v.empty()) return usageError("--protect needs a word");
            protectedWords.push_back(cp::isValidUtf8(v) ? cp::utf8ToGbk(v) : v);
        } else if (arg == "--frequency") {
            if (!value(v)) return usageError("--frequency needs a number");
            frequency = parseInteger(v);
            if (!frequency) return usageError("--frequency needs a whole number, not '" + v + "'");
        } else if (arg == "--seed") {
            if (!value(v)) return usageError("--seed needs a number");
            seed = parseUnsigned(v);
            if (!seed) return usageError("--seed needs a number from 0 to 2^64-1, not '" + v + "'");
        } else if (arg == "--encoding") {
            if (!value(v)) return usageError("--encoding needs auto, gbk or utf-8");
            const std::string e = lower(v);
            autoEncoding = e == "auto";
            if (e == "gbk" || e == "cp936" || e == "gb18030")
                forced = textfile::Encoding::Gbk;
            else if (e == "utf-8" || e == "utf8")
                forced = textfile::Encoding::Utf8;
            else if (!autoEncoding)
                return usageError("unknown encoding '" + v + "' (use auto, gbk or utf-8)");
        } else {
            return usageError("unknown option " + arg);
        }
    }

    if (frequency) {
        if (*frequency < 2 || *frequency > 30) {
            std::fprintf(stderr, "rewrite: frequency %lld is out of range (2 to 30)\n", *frequency);
            return 1;
        }
        options.frequency = static_cast<int>(*frequency);
    }

    SynonymReplacer replacer;
    if (synonyms) {
        try {
            auto store = KeywordStore::open(dbPath);
            StringList originals, replacements;
            auto cursor = store->all();
            for (KeywordRecord rec; cursor.next(rec);) {
                if (!rec.isused) continue;
                originals.push_back(rec.ow);
                replacements.push_back(rec.nw);
            }
            replacer.build(originals, replacements);
            for (std::string& word : protect::list(store->db()))
                protectedWords.push_back(std::move(word));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "rewrite: cannot read the thesaurus database %s: %s\n",
                         dbPath.c_str(), e.what());
            return 1;
        }
    }

    ProtectedWordFinder guard, shuffleGuard;
    guard.build(protectedWords);
    shuffleGuard.build(engine::wordsHoldingDelimiters(protectedWords));
    if (!shuffleGuard.empty()) options.protect = &shuffleGuard;

    std::mt19937_64 random;
    if (seed)
        random.seed(*seed);
    else
        random.seed((static_cast<std::uint64_t>(std::random_device{}()) << 32) ^
                    std::random_device{}());

    if (files.empty()) files.push_back("-");
    engine::MatchTexts matchList;
    int status = 0;
    for (const std::string& file : files) {
        const std::string shown = file == "-" ? "standard input" : file;
        std::string result;
        ReplaceTrace trace;
        int originality = 0;
        try {
            const std::string bytes = textfile::readBytes(file, true);
            const textfile::Encoding encoding =
                autoEncoding ? textfile::detectEncoding(bytes) : forced;
            std::string text = textfile::decode(bytes, encoding);
            if (textfile::writtenAs(encoding) != encoding)
                std::fprintf(stderr, "note: %s is UTF-16; its result is written as UTF-8\n",
                             shown.c_str());
            const std::string source = report ? text : std::string();
            if (synonyms) text = replacer.apply(text, guard.find(text), trace, false);
            if (shuffle) text = engine::daluan(text, options, random, matchList);
            if (report) originality = engine::originality(source, text);
            result = textfile::encode(text, encoding);
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
            std::fprintf(stderr, "%s\t%d\t%zu\n", file.c_str(), originality, trace.replacements);
    }
    return status;
}

} // namespace cli
