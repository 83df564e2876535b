#pragma once
// Where the programs find their thesaurus database, setting.dat:
//   1. the working folder's setting.dat, when there is one;
//   2. otherwise the user's data folder: $XDG_DATA_HOME/wyc/setting.dat, by
//      default ~/.local/share/wyc/setting.dat;
//   3. when that file does not exist yet, it is made there from the starter
//      thesaurus installed with the program (folders made 0700, file 0600).
// A file that is there is used as it is. When it is damaged or cannot be read,
// opening it fails and the caller refuses to go on: nothing here ever replaces
// or repairs a file that exists.
#include <memory>
#include <stdexcept>
#include <string>

class KeywordStore;

namespace datafile {

// The places the rule looks at, in file-system bytes.
struct Places {
    std::string workingFile = "setting.dat"; // relative to the working folder
    std::string userDir;     // the program's folder in the user's data folder; empty: none
    std::string starterList; // the starter thesaurus (UTF-8 'original<TAB>new' lines)
};

// The user's data folder of the program from the environment: $XDG_DATA_HOME/wyc,
// else $HOME/.local/share/wyc (a relative path in either does not count);
// empty when neither names one.
std::string userDataDir();
// The starter thesaurus of a program whose executable lives in `programDir`
// (ending with "/"): it is installed in ../share/wyc/ beside the bin folder.
std::string starterListFor(const std::string& programDir);
// Both of the above, for the program in `programDir`.
Places placesFor(const std::string& programDir);

enum class Origin { WorkingFolder, UserFolder, MadeFromStarter };

struct Location {
    std::string path;
    Origin origin;
};

class DataFileError : public std::runtime_error {
  public:
    enum class Kind {
        NotFound, // no file, and none could be made (no user folder or no starter)
        Unusable, // a file is there but does not open as a thesaurus database
        NotMade,  // making the file from the starter failed; nothing was left behind
    };
    DataFileError(Kind kind, Origin origin, std::string path, const std::string& what)
        : std::runtime_error(what), m_kind(kind), m_origin(origin), m_path(std::move(path)) {}
    Kind kind() const { return m_kind; }
    Origin origin() const { return m_origin; }
    const std::string& path() const { return m_path; }

  private:
    Kind m_kind;
    Origin m_origin;
    std::string m_path;
};

// Finds the file, making it from the starter when the rule says so. Throws
// DataFileError (NotFound, NotMade). Two programs making it at once both end
// with the same complete file.
Location locate(const Places& places);

struct Opened {
    Location where;
    std::unique_ptr<KeywordStore> store;
};
// locate(), then opens the file; a file that does not open is Unusable.
Opened open(const Places& places);

// GBK texts for the window: the message of a failure, and the status line of
// the start that made the file (in place of the loader's, which it includes).
std::string failureText(const DataFileError& error);
std::string madeNote(const Location& made);

} // namespace datafile
