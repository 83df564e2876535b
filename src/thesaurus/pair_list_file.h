#pragma once
// Reading a pair list file for an import, the same for the command line and
// the window: the bytes decide their encoding where they can, then every line
// is checked (pairfile::parse).
#include <optional>
#include <string>

#include "thesaurus/pair_file.h"

namespace pairfile {

// How the encoding of the bytes was chosen.
enum class ReadAs {
    Given,        // the encoding the caller named (or GBK, when none was named)
    Utf16ByMark,  // a UTF-16 byte-order mark
    Utf8ByMark,   // a UTF-8 byte-order mark
    Utf8Detected, // no encoding named, and the bytes are UTF-8 text with Chinese in it
};

struct ListFile {
    Parsed parsed;
    ReadAs readAs = ReadAs::Given;
};

// The pairs of a file's bytes. A byte-order mark decides; without one, bytes
// that are valid UTF-8 with non-ASCII text are read as UTF-8 unless `given`
// names the encoding; anything else is read in `given`, or as GBK.
ListFile parseList(std::string bytes, std::optional<Encoding> given);

// The file at `fsPath` ("-" is standard input when allowStdin), read within
// the limits of textfile::readBytes, then parseList. Throws
// textfile::TextFileError when the file cannot be read.
ListFile readList(const std::string& fsPath, std::optional<Encoding> given,
                  bool allowStdin = false);

} // namespace pairfile
