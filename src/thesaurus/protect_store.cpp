#include "thesaurus/protect_store.h"

#include "protocol/codepage.h"
#include "sqlitedb/sqlite.h"

namespace protect {
namespace {

bool hasTable(SqliteDb& db) {
    Statement probe(db, "SELECT 1 FROM sqlite_master WHERE type='table' AND name='protectword'");
    return probe.step();
}

} // namespace

StringList list(SqliteDb& db) {
    StringList words;
    if (!hasTable(db)) return words;
    Statement s(db, "SELECT word FROM protectword ORDER BY id");
    while (s.step())
        words.push_back(cp::utf8ToGbk(s.text(0)));
    return words;
}

bool add(SqliteDb& db, const std::string& word) {
    db.exec("CREATE TABLE IF NOT EXISTS protectword("
            "id INTEGER PRIMARY KEY AUTOINCREMENT, word TEXT NOT NULL UNIQUE)");
    Statement s(db, "INSERT OR IGNORE INTO protectword(word) VALUES(?1)");
    s.bind(1, cp::gbkToUtf8(word));
    s.run();
    return db.changes() > 0;
}

bool remove(SqliteDb& db, const std::string& word) {
    if (!hasTable(db)) return false;
    Statement s(db, "DELETE FROM protectword WHERE word=?1");
    s.bind(1, cp::gbkToUtf8(word));
    s.run();
    return db.changes() > 0;
}

WordCheck checkWord(const std::string& word) {
    if (word.find_first_not_of(' ') == std::string::npos) return WordCheck::Blank;
    for (char c : word)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return WordCheck::ControlCharacter;
    return WordCheck::Fine;
}

} // namespace protect
