// init-db: creates a starter setting.dat from a UTF-8 list of word pairs.
// Each line of the list holds an original word and its new word separated by a
// TAB; empty lines and lines starting with "#" are skipped.
#include <cstdio>
#include <fstream>
#include <string>

#include "cli/commands.h"
#include "engine/codepage.h"
#include "engine/stringlist.h"
#include "thesaurus/keyword_store.h"

namespace cli {

int initDbMain(int argc, char** argv) {
    std::string list = "data/synonyms.txt";
    std::string target = "setting.dat";
    bool force = false;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::puts("usage: wyc-cli init-db [--force] [LIST [TARGET]]\n"
                      "Creates TARGET (default setting.dat) with the table keyword and fills it\n"
                      "from LIST (default data/synonyms.txt): UTF-8 lines 'original<TAB>new'.\n"
                      "An existing TARGET is left alone unless --force is given.");
            return 0;
        }
        if (a == "--force") {
            force = true;
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "init-db: unknown option %s\n", a.c_str());
            return 2;
        } else if (positional == 0) {
            list = a;
            ++positional;
        } else if (positional == 1) {
            target = a;
            ++positional;
        } else {
            std::fprintf(stderr, "init-db: too many arguments\n");
            return 2;
        }
    }
    std::ifstream in(list, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "init-db: cannot read %s\n", list.c_str());
        return 1;
    }
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (std::FILE* f = std::fopen(target.c_str(), "rb")) {
        std::fclose(f);
        if (!force) {
            std::printf("%s exists; left as it is\n", target.c_str());
            return 0;
        }
        std::remove(target.c_str());
    }
    try {
        auto store = KeywordStore::create(target);
        Transaction tx(store->db());
        int added = 0, lineNo = 0;
        for (const auto& line : linesOf(content)) {
            ++lineNo;
            if (line.empty() || line[0] == '#') continue;
            auto tab = line.find('\t');
            if (tab == std::string::npos || tab == 0 || tab + 1 >= line.size()) {
                std::fprintf(stderr, "init-db: %s:%d: expected 'original<TAB>new'\n", list.c_str(),
                             lineNo);
                continue;
            }
            store->append(cp::utf8ToGbk(line.substr(0, tab)), cp::utf8ToGbk(line.substr(tab + 1)),
                          true);
            ++added;
        }
        tx.commit();
        std::printf("%s: %d pairs\n", target.c_str(), added);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "init-db: %s\n", e.what());
        std::remove(target.c_str());
        return 1;
    }
    return 0;
}

} // namespace cli
