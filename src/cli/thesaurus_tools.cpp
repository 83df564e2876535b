// wyc-cli thesaurus protect and check: the protected words of setting.dat and
// the thesaurus check, without the window.
#include "cli/thesaurus_tools.h"

#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <memory>

#include "engine/thesaurus_check.h"
#include "engine/word_list.h"
#include "protocol/codepage.h"
#include "thesaurus/keyword_store.h"
#include "thesaurus/protect_store.h"
#include "thesaurus/tab_pairs.h"

namespace cli {
namespace {

std::unique_ptr<KeywordStore> openDatabase(const std::string& db) {
    try {
        return KeywordStore::open(db);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "thesaurus: cannot open %s: %s\n", db.c_str(), e.what());
        return nullptr;
    }
}

// The bytes of a file, or false in `ok` (with a message) when it cannot be read.
std::string readWhole(const std::string& file, bool& ok) {
    std::ifstream in(file, std::ios::binary);
    std::string content;
    if (in) content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    ok = in && !in.bad();
    if (!ok) std::fprintf(stderr, "thesaurus: cannot read %s\n", file.c_str());
    return content;
}

// The pairs to check and the id each is reported by.
struct Pairs {
    StringList originals, replacements;
    std::vector<std::string> ids;
};

bool readDatabasePairs(const std::string& db, Pairs& pairs) {
    auto store = openDatabase(db);
    if (!store) return false;
    try {
        auto cursor = store->all();
        for (KeywordRecord r; cursor.next(r);) {
            if (!r.isused) continue;
            pairs.originals.push_back(r.ow);
            pairs.replacements.push_back(r.nw);
            pairs.ids.push_back(r.id);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "thesaurus: cannot read %s: %s\n", db.c_str(), e.what());
        return false;
    }
    return true;
}

bool readFilePairs(const std::string& file, Pairs& pairs) {
    bool ok = false;
    const std::string content = readWhole(file, ok);
    if (!ok) return false;
    tabpairs::Parsed parsed = tabpairs::parse(content);
    for (int line : parsed.malformed)
        std::fprintf(stderr, "%s:%d: expected 'original<TAB>new'; line skipped\n", file.c_str(),
                     line);
    pairs.originals = std::move(parsed.originals);
    pairs.replacements = std::move(parsed.replacements);
    for (int line : parsed.lines)
        pairs.ids.push_back(std::to_string(line));
    return true;
}

// A UTF-8 word list (a byte-order mark is skipped) as GBK words.
bool readWordList(const std::string& file, engine::WordList& words) {
    bool ok = false;
    const std::string bytes = readWhole(file, ok);
    if (!ok) return false;
    std::string_view content = bytes;
    if (content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);
    if (!cp::isValidUtf8(content)) {
        std::fprintf(stderr, "thesaurus: %s is not UTF-8 text\n", file.c_str());
        return false;
    }
    words = engine::WordList::parse(cp::utf8ToGbk(content));
    return true;
}

} // namespace

int protectCommand(const std::string& db, const std::vector<std::string>& args) {
    const std::string action = args.size() > 1 ? args[1] : "";
    const bool wellFormed = (action == "list" && args.size() == 2) ||
                            ((action == "add" || action == "remove") && args.size() == 3);
    if (!wellFormed)
        return usageError("use: protect list | protect add WORD | protect remove WORD");
    std::string word;
    if (action != "list") {
        if (auto why = argumentWord(args[2], "protected", word); !why.empty())
            return usageError(why);
        if (protect::checkWord(word) != protect::WordCheck::Fine)
            return usageError("a protected word needs more than spaces and may not hold a line "
                              "break or other control character");
    }
    auto store = openDatabase(db);
    if (!store) return 1;
    try {
        if (action == "list") {
            for (const std::string& w : protect::list(store->db()))
                std::printf("%s\n", cp::gbkToUtf8(w).c_str());
        } else if (action == "add") {
            std::printf(protect::add(store->db(), word) ? "protected: %s\n"
                                                        : "already protected: %s\n",
                        args[2].c_str());
        } else if (protect::remove(store->db(), word)) {
            std::printf("no longer protected: %s\n", args[2].c_str());
        } else {
            std::fprintf(stderr, "thesaurus: %s is not a protected word\n", args[2].c_str());
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "thesaurus: protect %s failed: %s\n", action.c_str(), e.what());
        return 1;
    }
    return 0;
}

int checkCommand(const std::string& db, const CheckOptions& options,
                 const std::vector<std::string>& args) {
    if (args.size() != 1)
        return usageError("check takes no arguments (--db FILE or --file LIST, --words FILE)");
    Pairs pairs;
    const std::string& file = options.file;
    if (!(file.empty() ? readDatabasePairs(db, pairs) : readFilePairs(file, pairs))) return 1;
    engine::WordList wordList;
    if (!options.words.empty() && !readWordList(options.words, wordList)) return 1;
    const auto findings =
        engine::checkThesaurus(pairs.originals, pairs.replacements,
                               {options.words.empty() ? nullptr : &wordList, options.minCount});
    std::string out;
    for (const engine::Finding& f : findings) {
        std::string ids, words;
        for (size_t k : f.pairs) {
            ids += (ids.empty() ? "" : ",") + pairs.ids[k];
            words += (words.empty() ? "" : " ") + pairs.originals[k] + cp::G("→") +
                     pairs.replacements[k];
        }
        std::string longer;
        for (const std::string& w : f.words)
            longer += (longer.empty() ? "\t" : " ") + w;
        out += std::string(engine::findingKindName(f.kind)) + "\t" + ids + "\t" +
               cp::gbkToUtf8(words + longer) + "\n";
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fprintf(stderr, "%zu in-use pairs checked, %zu finding(s)\n", pairs.originals.size(),
                 findings.size());
    return findings.empty() ? 0 : 3;
}

} // namespace cli
