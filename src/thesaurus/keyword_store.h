#pragma once
// The table `keyword` of setting.dat: id (integer key assigned on insert),
// ow and nw (UTF-8 text in the file, GBK in the program), isused (boolean).
// Every statement binds its words and ids as parameters.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sqlitedb/sqlite.h"

struct KeywordRecord {
    std::string id; // decimal text
    std::string ow; // GBK
    std::string nw; // GBK
    bool isused = false;
};

class KeywordStore {
  public:
    // Opens an existing setting.dat read-write. Throws DbError when the file is
    // missing, is not a SQLite database, or has no table `keyword`.
    static std::unique_ptr<KeywordStore> open(const std::string& fsPath);
    // Creates a new, empty database file with the table (tools and tests).
    static std::unique_ptr<KeywordStore> create(const std::string& fsPath);

    // Reads all records by ascending id with a statement of its own, so other
    // operations may run between two reads.
    class Cursor {
      public:
        explicit Cursor(const SqliteDb& db);
        bool next(KeywordRecord& out);

      private:
        Statement m_stmt;
    };

    std::int64_t count();
    Cursor all() { return Cursor(m_db); }
    // Every record by ascending id, read at once: no statement stays open while
    // the caller lets other operations run.
    std::vector<KeywordRecord> readAll();

    // Adds many pairs (imports) with its statements prepared once.
    class Adder {
      public:
        explicit Adder(const SqliteDb& db);
        // Appends the pair unless a record holds exactly this ow and nw; true
        // when it was appended.
        bool addIfAbsent(const std::string& ow, const std::string& nw, bool isused);

      private:
        Statement m_find;
        Statement m_insert;
    };
    Adder adder() { return Adder(m_db); }

    // The record with this id; none when the id text is not a decimal number.
    std::optional<KeywordRecord> findById(const std::string& idText);
    // The first record (lowest id) holding exactly this ow and nw.
    std::optional<KeywordRecord> findPair(const std::string& ow, const std::string& nw);
    // Appends a record; returns it as stored, with the id the database assigned.
    KeywordRecord append(const std::string& ow, const std::string& nw, bool isused);
    // These return false when no record has the id.
    bool update(const std::string& idText, const std::string& ow, const std::string& nw,
                bool isused);
    bool remove(const std::string& idText);
    bool setUsed(const std::string& idText, bool isused);

    SqliteDb& db() { return m_db; }

    // Parses a decimal id text ("12", "-3"); none for anything else.
    static std::optional<std::int64_t> parseId(const std::string& idText);

  private:
    explicit KeywordStore(SqliteDb db) : m_db(std::move(db)) {}
    SqliteDb m_db;
};
