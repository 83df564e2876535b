#pragma once
// Moving a server from its SQLite file to PostgreSQL without losing users.
#include <cstdint>
#include <string>

namespace wycserver {

struct CopyCounts {
    std::int64_t accounts = 0;
    std::int64_t pairs = 0;
    std::int64_t posts = 0;
    std::int64_t downloads = 0;
};

// Copies accounts (ids, password hashes, points, flags) with their ledger,
// shared pairs, posts, the record of paid downloads and today's share counts
// from the SQLite data file
// into the PostgreSQL store at `uri`, in one transaction: all or nothing. The
// store must hold no accounts, posts or pairs but the starter pairs (which
// give way to the file's). Login records and throttles are not copied: users
// log in again. Throws DbError with the reason when it cannot copy.
CopyCounts copySqliteToPostgres(const std::string& sqliteFile, const std::string& uri);

} // namespace wycserver
