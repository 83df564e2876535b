#include "cli/default_db.h"

#include <cstdio>

#include "engine/files.h"
#include "protocol/codepage.h"
#include "thesaurus/data_location.h"

namespace cli {

const char kDefaultDatabaseHelp[] =
    "Without --db the database is setting.dat of the working directory when there\n"
    "is one, else $XDG_DATA_HOME/wyc/setting.dat (default ~/.local/share/wyc/),\n"
    "which is made from the starter thesaurus the first time it is needed.\n";

bool resolveDatabase(std::string& path, const char* command) {
    if (!path.empty()) return true;
    try {
        const datafile::Location where =
            datafile::locate(datafile::placesFor(cp::gbkToFs(executableDir())));
        if (where.origin == datafile::Origin::MadeFromStarter)
            std::fprintf(stderr, "%s: made %s from the starter thesaurus\n", command,
                         where.path.c_str());
        path = where.path;
        return true;
    } catch (const datafile::DataFileError& e) {
        std::fprintf(stderr, "%s: %s\n", command, e.what());
        return false;
    }
}

} // namespace cli
