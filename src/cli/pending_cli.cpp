// PLACEHOLDER (replaced by the engine and thesaurus work).
#include <cstdio>

#include "cli/commands.h"

namespace cli {
int rewriteMain(int, char**) {
    std::fputs("rewrite: not built yet\n", stderr);
    return 1;
}
} // namespace cli
