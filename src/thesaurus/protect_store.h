#pragma once
// The protected words of setting.dat, in a table of their own, `protectword`
// (id INTEGER PRIMARY KEY, word TEXT UNIQUE; UTF-8 in the file, GBK in the
// program). The table is made when the first word is added, so a file that
// never had a protected word keeps exactly the tables it had.
#include <string>

#include "engine/stringlist.h"

class SqliteDb;

namespace protect {

// The words in the order they were added; none when the table is missing.
StringList list(SqliteDb& db);
// Adds a word; false when it is stored already.
bool add(SqliteDb& db, const std::string& word);
// Removes a word; false when it is not stored.
bool remove(SqliteDb& db, const std::string& word);

// Whether a word can be protected: it must hold something other than spaces,
// and no line break or other control character.
enum class WordCheck { Fine, Blank, ControlCharacter };
WordCheck checkWord(const std::string& word);

} // namespace protect
