#include "thesaurus/keyword_store.h"

#include <charconv>
#include <filesystem>

#include "protocol/codepage.h"

namespace {
constexpr const char* kSchema =
    "CREATE TABLE keyword(id INTEGER PRIMARY KEY AUTOINCREMENT, ow TEXT, nw TEXT, "
    "isused BOOLEAN DEFAULT 1)";

constexpr const char* kPairIndex = "CREATE INDEX IF NOT EXISTS keyword_pair ON keyword(ow, nw)";

KeywordRecord readRecord(const Statement& s) {
    KeywordRecord r;
    r.id = std::to_string(s.int64(0));
    r.ow = cp::utf8ToGbk(s.text(1));
    r.nw = cp::utf8ToGbk(s.text(2));
    r.isused = !s.isNull(3) && s.int64(3) != 0;
    return r;
}
} // namespace

std::optional<std::int64_t> KeywordStore::parseId(const std::string& idText) {
    if (idText.empty()) return std::nullopt;
    std::int64_t v = 0;
    const char* b = idText.data();
    const char* e = b + idText.size();
    auto [p, ec] = std::from_chars(b, e, v);
    if (ec != std::errc() || p != e) return std::nullopt;
    return v;
}

std::unique_ptr<KeywordStore> KeywordStore::open(const std::string& fsPath) {
    SqliteDb db = SqliteDb::openExisting(fsPath);
    // Reading the schema proves the file is a database and has the table.
    Statement probe(db, "SELECT count(*) FROM sqlite_master WHERE type='table' AND name='keyword'");
    if (!probe.step() || probe.int64(0) == 0) throw DbError("no table keyword: " + fsPath);
    Statement columns(db, "SELECT id, ow, nw, isused FROM keyword LIMIT 0");
    // The pair lookup runs on every add and download; an index keeps it fast on
    // big thesauri. A file that cannot take it (read-only) still works without.
    try {
        db.exec(kPairIndex);
    } catch (const DbError&) {
    }
    return std::unique_ptr<KeywordStore>(new KeywordStore(std::move(db)));
}

std::unique_ptr<KeywordStore> KeywordStore::create(const std::string& fsPath) {
    if (std::filesystem::exists(fsPath)) throw DbError("file exists: " + fsPath);
    SqliteDb db = SqliteDb::openOrCreate(fsPath);
    db.exec(kSchema);
    db.exec(kPairIndex);
    return std::unique_ptr<KeywordStore>(new KeywordStore(std::move(db)));
}

KeywordStore::Cursor::Cursor(const SqliteDb& db)
    : m_stmt(db, "SELECT id, ow, nw, isused FROM keyword ORDER BY id") {}

bool KeywordStore::Cursor::next(KeywordRecord& out) {
    if (!m_stmt.step()) return false;
    out = readRecord(m_stmt);
    return true;
}

std::vector<KeywordRecord> KeywordStore::readAll() {
    std::vector<KeywordRecord> records;
    Cursor cursor(m_db);
    for (KeywordRecord rec; cursor.next(rec);)
        records.push_back(std::move(rec));
    return records;
}

KeywordStore::Adder::Adder(const SqliteDb& db)
    : m_find(db, "SELECT 1 FROM keyword WHERE ow=?1 AND nw=?2 LIMIT 1"),
      m_insert(db, "INSERT INTO keyword(ow, nw, isused) VALUES(?1, ?2, ?3)") {}

bool KeywordStore::Adder::addIfAbsent(const std::string& ow, const std::string& nw, bool isused) {
    const std::string o = cp::gbkToUtf8(ow);
    const std::string n = cp::gbkToUtf8(nw);
    m_find.bind(1, o).bind(2, n);
    const bool found = m_find.step();
    m_find.reset();
    if (found) return false;
    m_insert.bind(1, o).bind(2, n).bind(3, std::int64_t{isused ? 1 : 0});
    m_insert.run();
    return true;
}

std::int64_t KeywordStore::count() {
    Statement s(m_db, "SELECT count(*) FROM keyword");
    s.step();
    return s.int64(0);
}

std::optional<KeywordRecord> KeywordStore::findById(const std::string& idText) {
    auto id = parseId(idText);
    if (!id) return std::nullopt;
    Statement s(m_db, "SELECT id, ow, nw, isused FROM keyword WHERE id=?1");
    s.bind(1, *id);
    if (!s.step()) return std::nullopt;
    return readRecord(s);
}

std::optional<KeywordRecord> KeywordStore::findPair(const std::string& ow, const std::string& nw) {
    Statement s(m_db, "SELECT id, ow, nw, isused FROM keyword WHERE ow=?1 AND nw=?2 "
                      "ORDER BY id LIMIT 1");
    s.bind(1, cp::gbkToUtf8(ow)).bind(2, cp::gbkToUtf8(nw));
    if (!s.step()) return std::nullopt;
    return readRecord(s);
}

KeywordRecord KeywordStore::append(const std::string& ow, const std::string& nw, bool isused) {
    Statement s(m_db, "INSERT INTO keyword(ow, nw, isused) VALUES(?1, ?2, ?3)");
    s.bind(1, cp::gbkToUtf8(ow)).bind(2, cp::gbkToUtf8(nw)).bind(3, std::int64_t{isused ? 1 : 0});
    s.run();
    auto rec = findById(std::to_string(m_db.lastInsertId()));
    if (!rec) throw DbError("appended record not found");
    return *rec;
}

bool KeywordStore::update(const std::string& idText, const std::string& ow, const std::string& nw,
                          bool isused) {
    auto id = parseId(idText);
    if (!id) return false;
    Statement s(m_db, "UPDATE keyword SET ow=?1, nw=?2, isused=?3 WHERE id=?4");
    s.bind(1, cp::gbkToUtf8(ow)).bind(2, cp::gbkToUtf8(nw)).bind(3, std::int64_t{isused ? 1 : 0});
    s.bind(4, *id);
    s.run();
    return m_db.changes() > 0;
}

bool KeywordStore::remove(const std::string& idText) {
    auto id = parseId(idText);
    if (!id) return false;
    Statement s(m_db, "DELETE FROM keyword WHERE id=?1");
    s.bind(1, *id);
    s.run();
    return m_db.changes() > 0;
}

bool KeywordStore::setUsed(const std::string& idText, bool isused) {
    auto id = parseId(idText);
    if (!id) return false;
    Statement s(m_db, "UPDATE keyword SET isused=?1 WHERE id=?2");
    s.bind(1, std::int64_t{isused ? 1 : 0}).bind(2, *id);
    s.run();
    return m_db.changes() > 0;
}
