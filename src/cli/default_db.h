#pragma once
// The thesaurus database of a command run without --db, found as the window
// finds it: setting.dat of the working folder, else the user's own
// ($XDG_DATA_HOME/wyc, default ~/.local/share/wyc), made from the starter
// thesaurus on first use.
#include <string>

namespace cli {

// The help lines that tell the rule.
extern const char kDefaultDatabaseHelp[];

// Sets an empty `path` by the rule. False, with the reason on standard error
// after "COMMAND: ", when there is no file to use.
bool resolveDatabase(std::string& path, const char* command);

} // namespace cli
