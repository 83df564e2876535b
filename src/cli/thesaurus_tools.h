#pragma once
// The thesaurus subcommands beyond list, add, import and export.
#include <cstdint>
#include <string>
#include <vector>

namespace cli {

// Prints a usage error of the thesaurus command; returns its exit status, 2.
int usageError(const std::string& what);
// A word given on the command line (UTF-8) as GBK in `gbk`; the reason it
// cannot be taken, or empty when it can. `which` names the word ("original").
std::string argumentWord(const std::string& arg, const char* which, std::string& gbk);

// protect list | protect add WORD | protect remove WORD; args[0] is "protect".
int protectCommand(const std::string& db, const std::vector<std::string>& args);
struct CheckOptions {
    std::string file;      // a UTF-8 "original<TAB>new" list to check instead of the database
    std::string words;     // a UTF-8 word list: also look for pairs inside longer words
    uint64_t minCount = 0; // the least count of a longer word
};
// check: the findings of the thesaurus check over the in-use pairs of the
// database, or over the pairs of the file when one is given. Exit status 0
// without findings, 3 with findings.
int checkCommand(const std::string& db, const CheckOptions& options,
                 const std::vector<std::string>& args);

} // namespace cli
