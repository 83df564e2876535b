#pragma once
// The article files of a batch run: the one place where they are listed, read
// and written. Paths are GBK, as the window holds them.
#include <string>
#include <vector>

#include "engine/text_file.h"

namespace batch {

// The names (without directory) of the regular files in `dir` whose names end
// in ".txt" (with `pages`, also ".htm" and ".html") in any letter case,
// sorted by name so a run is repeatable. A link
// to a regular file counts; directories, links to them, FIFOs, sockets and
// devices do not (reading a FIFO would never end). A directory that cannot be
// read lists nothing.
std::vector<std::string> listArticles(const std::string& dir, bool pages = false);

// The file's text as GBK, read in the encoding it was saved in (see
// text_file.h), with that encoding. Only regular files up to 64 MB are read.
// Throws std::runtime_error naming the file.
textfile::TextFile readArticle(const std::string& path);
// Replaces the file with `text` written in `encoding` (a result goes out in its
// source's encoding). A failed write leaves an existing file as it was. Throws
// std::runtime_error naming the file.
void writeArticle(const std::string& path, const std::string& text,
                  textfile::Encoding encoding = textfile::Encoding::Gbk);

} // namespace batch
