#pragma once
// The pieces of a batch item: list markers, the result text, output file
// names, the id of a submission and its form body. Texts are GBK.
#include <string>
#include <string_view>

namespace batch {

// Appended to an item's line: its result was written or its post launched,
// or its rewritten text was empty.
const std::string& doneMarker();
const std::string& emptyMarker();

// The line without the markers earlier runs appended to it.
std::string withoutMarkers(std::string_view line);

// The rewritten text cut into lines at CR LF, CR or LF (a NUL byte ends it)
// and joined with CR LF after every line, the last included.
std::string resultText(std::string_view rewritten);

// `dir` + "/" + `name`, without a second "/" when `dir` already ends with one.
std::string joinPath(std::string_view dir, std::string_view name);

// The output file name of a download-list line: the line with each of
// : / * ? < > | (and a NUL byte) replaced by "_", then "_" + index + `extension` (".txt", or
// ".html" for a page). A name longer than the file system allows (255 bytes
// in its on-disk form) is shortened at a character boundary before the
// "_" + index + extension end, which is kept.
std::string outputName(std::string_view line, int index, std::string_view extension = ".txt");

// What a submission sends as its id: mode 1 the item's position, modes 0 and
// 2 the item itself, the download-list line or the local file's name. (Each
// source offers only one of 0 and 2; the other one sends the same.)
std::string itemId(int idMode, const std::string& lineOrName, int index);

// The form body of a submission: "id=" + id + "&content=" + text, both
// form-encoded with "+" for a space.
std::string postBody(const std::string& id, const std::string& text);

} // namespace batch
