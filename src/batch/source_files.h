#pragma once
// The article files of a batch run: the one place where they are listed, read
// and written. Paths are GBK, as the window holds them.
#include <string>
#include <vector>

namespace batch {

// The names (without directory) of the regular files in `dir` whose names end
// in ".txt" in any letter case, sorted by name so a run is repeatable. A link
// to a regular file counts; directories, links to them, FIFOs, sockets and
// devices do not (reading a FIFO would never end). A directory that cannot be
// read lists nothing.
std::vector<std::string> listArticles(const std::string& dir);

// The bytes of the file. Throws std::runtime_error naming the file.
std::string readArticle(const std::string& path);
// Replaces the file with `text`. Throws std::runtime_error naming the file.
void writeArticle(const std::string& path, const std::string& text);

} // namespace batch
