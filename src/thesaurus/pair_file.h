#pragma once
// The text form of word pairs that the export writes and the import reads: one
// pair per line, "original,new,是" (or "否"), no quoting, every line ended by
// CR CR LF. Words are GBK inside the program.
#include <string>
#include <string_view>
#include <vector>

namespace pairfile {

enum class Encoding { Gbk, Utf8 };

// One line of an export, GBK: ow "," nw "," flag CR CR LF.
std::string formatLine(std::string_view ow, std::string_view nw, std::string_view flag);

struct Pair {
    int line = 0;   // 1-based line number in the file
    std::string ow; // GBK
    std::string nw; // GBK
    bool isused = true;
};

struct Rejected {
    int line = 0;
    std::string reason; // UTF-8, for the command line
};

struct Parsed {
    std::vector<Pair> pairs;
    std::vector<Rejected> malformed;
};

// Reads the pairs of a file's bytes in the given encoding. Lines end in LF,
// CR LF or CR CR LF; blank lines are skipped. A line is malformed when it is not
// valid text in the encoding, has no
// comma, has more than three fields, has an empty or blank word, has a control
// character in a word, or has a third field other than "是" or "否". A leading
// UTF-8 byte-order mark is dropped when reading UTF-8.
Parsed parse(std::string_view bytes, Encoding encoding);

// True when a GBK word can be one side of a stored pair: not empty or blank,
// and no control character (it would break the lines of an export).
bool isStorableWord(std::string_view word);
// Why a GBK word cannot be one side of a pair that an export writes and an
// import reads back (`which` names the side, "original" or "new"); empty when
// it can. Beyond isStorableWord, a comma is refused: it would split the field.
std::string wordProblem(std::string_view word, const char* which);

} // namespace pairfile
