// wyc-cli: the program's jobs without a window.
//   wyc-cli rewrite ...      rewrite articles (see `wyc-cli rewrite --help`)
//   wyc-cli thesaurus ...    word pairs, protected words and the thesaurus check
//   wyc-cli batch ...        rewrite a folder of articles or a list of addresses
//   wyc-cli init-db ...      create a starter setting.dat from a UTF-8 pair list
//   wyc-cli serve ...        the rewrite as an HTTP service for other programs
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/commands.h"

namespace {
void usage(FILE* out) {
    std::fputs("usage: wyc-cli COMMAND [OPTIONS] [ARGS]\n"
               "commands:\n"
               "  rewrite     rewrite articles with the thesaurus (and optionally shuffle them)\n"
               "  batch       rewrite the .txt files of a folder or the pages of a list of\n"
               "              addresses, into files or posted to an address\n"
               "  thesaurus   list|add|import|export word pairs of setting.dat, protect words,\n"
               "              check the thesaurus\n"
               "  init-db     create a starter setting.dat from a UTF-8 list of word pairs\n"
               "  serve       rewrite over HTTP for collectors and site back ends, with a page\n"
               "              for the browser\n"
               "Run 'wyc-cli COMMAND --help' for the options of a command, 'wyc-cli --version'\n"
               "for the version.\n",
               out);
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        usage(stderr);
        return 2;
    }
    std::string cmd = argv[1];
    if (cmd == "--help" || cmd == "-h" || cmd == "help") {
        usage(stdout);
        return 0;
    }
    if (cmd == "--version") {
        std::puts("wyc-cli " WYC_VERSION);
        return 0;
    }
    if (cmd == "rewrite") return cli::rewriteMain(argc - 1, argv + 1);
    if (cmd == "thesaurus") return cli::thesaurusMain(argc - 1, argv + 1);
    if (cmd == "batch") return cli::batchMain(argc - 1, argv + 1);
    if (cmd == "init-db") return cli::initDbMain(argc - 1, argv + 1);
    if (cmd == "serve") return cli::serveMain(argc - 1, argv + 1);
    std::fprintf(stderr, "wyc-cli: unknown command '%s'\n", cmd.c_str());
    usage(stderr);
    return 2;
}
