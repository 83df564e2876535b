#include "cli/rewrite_options.h"

#include <cstdint>
#include <cstdio>
#include <exception>

#include "cli/default_db.h"
#include "protocol/codepage.h"
#include "thesaurus/snapshot.h"

namespace cli {

const char kRewriteOptionsHelp[] =
    "  --db FILE          thesaurus database (default: setting.dat in the working\n"
    "                     directory, else the user's own: see below); its in-use\n"
    "                     pairs are applied in ascending id,\n"
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
    "  --protect WORD     protect WORD for this run, beside the protected words\n"
    "                     stored in the database (repeatable; read like --keyword).\n"
    "                     Synonym replacement never changes a protected word: no\n"
    "                     thesaurus word matches any part of one, and a replacement\n"
    "                     beside it cannot merge with it. The shuffle never cuts one.\n"
    "                     Occurrences are found at character boundaries, the longest\n"
    "                     word first; overlapping occurrences are protected together.\n"
    "  --html MODE        what becomes of a web page (a text/html answer, an .htm or\n"
    "                     .html file, a text that starts with <!doctype html>,\n"
    "                     <html>, <head> or <body>, after comments): keep (default)\n"
    "                     rewrites only its visible text, its markup kept byte for\n"
    "                     byte and the page in its own encoding; extract takes out\n"
    "                     its article (the title, an empty line, the paragraphs\n"
    "                     one a line) and rewrites that; text rewrites the whole\n"
    "                     page as plain text. Anything else is plain text in every\n"
    "                     mode. With keep and the shuffle, each piece of text is\n"
    "                     shuffled on its own, and only where it has punctuation\n"
    "                     between two runs of text.\n";

namespace {

std::optional<long long> parseInteger(const std::string& s) {
    if (s.empty()) return std::nullopt;
    bool negative = s[0] == '-';
    auto v = parseUnsigned(negative || s[0] == '+' ? s.substr(1) : s);
    if (!v || *v > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
    return negative ? -static_cast<long long>(*v) : static_cast<long long>(*v);
}

// A text option: UTF-8 is converted, anything else taken as GBK.
std::string programText(const std::string& v) {
    return cp::isValidUtf8(v) ? cp::utf8ToGbk(v) : v;
}

} // namespace

Argument::Argument(int argc, char** argv, int& i) : m_argc(argc), m_argv(argv), m_i(i) {
    m_name = argv[i];
    if (m_name.rfind("--", 0) == 0) {
        if (auto eq = m_name.find('='); eq != std::string::npos) {
            m_inline = m_name.substr(eq + 1);
            m_name.resize(eq);
        }
    }
}

bool Argument::value(std::string& out) {
    if (m_inline) {
        out = *m_inline;
        return true;
    }
    if (m_i + 1 >= m_argc) return false;
    out = m_argv[++m_i];
    return true;
}

Parsed parseRewriteOption(Argument& arg, RewriteOptions& options, std::string& error) {
    const std::string& name = arg.name();
    auto fail = [&](std::string message) {
        error = std::move(message);
        return Parsed::Error;
    };
    engine::RewriteSettings& s = options.settings;
    bool* flag = name == "--no-synonyms"    ? &s.synonyms
                 : name == "--shuffle"      ? &s.shuffle
                 : name == "--keep-spaces"  ? &s.shuffleSettings.stripSpaces
                 : name == "--strip-breaks" ? &s.shuffleSettings.stripBreaks
                                            : nullptr;
    if (flag) {
        if (!arg.isFlag()) return fail("option " + name + " takes no value");
        *flag = name == "--shuffle" || name == "--strip-breaks";
        return Parsed::Taken;
    }
    std::string v;
    if (name == "--db") {
        if (!arg.value(options.dbPath) || options.dbPath.empty())
            return fail("--db needs a file name");
    } else if (name == "--keyword") {
        if (!arg.value(v)) return fail("--keyword needs a text");
        s.shuffleSettings.keyword = programText(v);
    } else if (name == "--protect") {
        if (!arg.value(v) || v.empty()) return fail("--protect needs a word");
        options.protectedWords.push_back(programText(v));
    } else if (name == "--html") {
        if (!arg.value(v) || !html::modeFromName(lower(v), options.html))
            return fail("--html needs keep, extract or text");
    } else if (name == "--frequency") {
        if (!arg.value(v)) return fail("--frequency needs a number");
        options.frequency = parseInteger(v);
        if (!options.frequency) return fail("--frequency needs a whole number, not '" + v + "'");
    } else if (name == "--seed") {
        if (!arg.value(v)) return fail("--seed needs a number");
        options.seed = parseUnsigned(v);
        if (!options.seed) return fail("--seed needs a number from 0 to 2^64-1, not '" + v + "'");
    } else {
        return Parsed::NotMine;
    }
    return Parsed::Taken;
}

std::optional<std::string> checkRewriteOptions(RewriteOptions& options) {
    if (options.frequency) {
        if (*options.frequency < 2 || *options.frequency > 30)
            return "frequency " + std::to_string(*options.frequency) + " is out of range (2 to 30)";
        options.settings.shuffleSettings.frequency = static_cast<int>(*options.frequency);
    }
    return std::nullopt;
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

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::shared_ptr<const engine::Thesaurus> commandThesaurus(RewriteOptions& opts,
                                                          const char* command) {
    if (opts.settings.synonyms && !resolveDatabase(opts.dbPath, command)) return nullptr;
    try {
        return opts.settings.synonyms ? thesaurus::loadThesaurus(opts.dbPath, opts.protectedWords)
                                      : engine::Thesaurus::make({}, {}, opts.protectedWords);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: cannot read the thesaurus database %s: %s\n", command,
                     opts.dbPath.c_str(), e.what());
        return nullptr;
    }
}

} // namespace cli
