#pragma once
// The text form of the window settings file: a first line naming the format,
// then one "key=value" line per setting. Values are kept byte for byte
// (file-system bytes: UTF-8 for any text the program holds); a backslash,
// CR and LF in a value are written as \\, \r and \n, so every value is one line.
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace settingsfile {

inline constexpr std::string_view kHeader = "# wyc window settings 1";

using Entries = std::vector<std::pair<std::string, std::string>>;

// The file's bytes for the entries, in their order.
std::string format(const Entries& entries);

// The entries of a file's bytes; none when the file is damaged: another first
// line, a line that is not "key=value" (blank lines and lines starting with
// "#" aside), a key given twice, or a backslash not followed by \, r or n.
std::optional<std::map<std::string, std::string>> parse(std::string_view bytes);

} // namespace settingsfile
