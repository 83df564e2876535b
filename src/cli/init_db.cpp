// init-db: creates a starter setting.dat from a UTF-8 list of word pairs.
// Each line of the list holds an original word and its new word separated by a
// TAB; empty lines and lines starting with "#" are skipped.
#include <cstdio>
#include <fstream>
#include <string>

#include "engine/files.h"
#include "cli/commands.h"
#include "protocol/codepage.h"
#include "thesaurus/data_location.h"
#include "thesaurus/tab_pairs.h"

namespace cli {

int initDbMain(int argc, char** argv) {
    std::string list; // default: the clone's list, else the installed one
    std::string target = "setting.dat";
    bool force = false;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::puts("usage: wyc-cli init-db [--force] [LIST [TARGET]]\n"
                      "Creates TARGET (default setting.dat) with the table keyword and fills it\n"
                      "from LIST (default data/synonyms.txt, else the starter thesaurus\n"
                      "installed with the program): UTF-8 lines 'original<TAB>new'.\n"
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
    if (list.empty()) {
        list = "data/synonyms.txt";
        const std::string installed = datafile::starterListFor(cp::gbkToFs(executableDir()));
        if (!std::ifstream(list) && std::ifstream(installed)) list = installed;
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
    const tabpairs::Parsed parsed = tabpairs::parse(content);
    for (int lineNo : parsed.malformed)
        std::fprintf(stderr, "init-db: %s:%d: expected 'original<TAB>new'\n", list.c_str(), lineNo);
    try {
        tabpairs::createStore(target, parsed);
        std::printf("%s: %zu pairs\n", target.c_str(), parsed.originals.size());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "init-db: %s\n", e.what());
        std::remove(target.c_str());
        return 1;
    }
    return 0;
}

} // namespace cli
