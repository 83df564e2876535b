#include "store_copy.h"

#include <sys/stat.h>

#include "pg_storage.h"
#include "sqlite_storage.h"

namespace wycserver {

namespace {

std::int64_t countRows(PgConnection& pg, const std::string& sql) {
    return pg.exec(sql).int64(0, 0);
}

} // namespace

CopyCounts copySqliteToPostgres(const std::string& sqliteFile, const std::string& uri) {
    struct stat st {};
    if (::stat(sqliteFile.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        throw DbError("no data file " + sqliteFile);
    // Opening it as the server would brings a file of an older layout up to date.
    { SqliteStorage upgraded(sqliteFile, false); }
    auto source = SqliteDb::openExisting(sqliteFile);

    StoreLocation where;
    where.postgresUri = uri;
    where.starterPairs = false;
    where.connections = 1;
    PgStorage target(where);
    auto pg = target.pool().lease();
    PgTransaction tx(*pg);
    // Nobody may sign up or share while the copy runs.
    pg->run("SET LOCAL statement_timeout = 0");
    pg->run("LOCK TABLE accounts, shared_pairs, pair_stats, posts, downloads, share_days,"
            " share_network_days, ledger IN EXCLUSIVE MODE");
    if (countRows(*pg, "SELECT COUNT(*) FROM accounts") != 0 ||
        countRows(*pg, "SELECT COUNT(*) FROM posts") != 0 ||
        countRows(*pg, "SELECT COUNT(*) FROM shared_pairs WHERE sharer <> " +
                           std::to_string(Storage::kStarterSharer)) != 0)
        throw DbError("the database already holds accounts, posts or shared pairs; copy only"
                      " into a new one");
    pg->run("DELETE FROM shared_pairs");
    pg->run("DELETE FROM downloads");
    pg->run("DELETE FROM share_days");
    pg->run("DELETE FROM share_network_days");
    pg->run("DELETE FROM ledger");

    CopyCounts n;
    {
        Statement rows(source, "SELECT id, name, password_hash, recovery_hash, points, created,"
                               " disabled, share_banned, token_key FROM accounts ORDER BY id");
        while (rows.step()) {
            pg->exec("INSERT INTO accounts (id, name, password_hash, recovery_hash, points,"
                     " created, disabled, share_banned, token_key)"
                     " VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9)",
                     {rows.int64(0), rows.text(1), rows.text(2), rows.text(3), rows.int64(4),
                      rows.text(5), rows.int64(6), rows.int64(7), rows.text(8)});
            ++n.accounts;
        }
    }
    {
        Statement rows(source, "SELECT seq, at, user_id, change, reason, request FROM ledger"
                               " ORDER BY seq");
        while (rows.step())
            pg->exec("INSERT INTO ledger (seq, at, user_id, change, reason, request)"
                     " VALUES ($1, $2, $3, $4, $5, $6)",
                     {rows.int64(0), rows.text(1), rows.int64(2), rows.int64(3), rows.text(4),
                      rows.text(5)});
    }
    {
        Statement rows(source, "SELECT net_id, ow, nw, sharer, created, pos FROM shared_pairs"
                               " ORDER BY net_id");
        while (rows.step()) {
            pg->exec("INSERT INTO shared_pairs (net_id, ow, nw, sharer, created, pos)"
                     " VALUES ($1, $2, $3, $4, $5, $6)",
                     {rows.int64(0), rows.text(1), rows.text(2), rows.int64(3), rows.text(4),
                      rows.int64(5)});
            ++n.pairs;
        }
        pg->exec("UPDATE pair_stats SET pairs = $1 WHERE id = 1", {n.pairs});
    }
    {
        Statement rows(source, "SELECT seq, received, post_id, body_bytes, stored_bytes, remote,"
                               " preview, content FROM posts ORDER BY seq");
        while (rows.step()) {
            pg->exec("INSERT INTO posts (seq, received, post_id, body_bytes, stored_bytes, remote,"
                     " preview, content) VALUES ($1, $2, $3, $4, $5, $6, $7, $8)",
                     {rows.int64(0), rows.text(1), rows.text(2), rows.int64(3), rows.int64(4),
                      rows.text(5), rows.text(6), PgParam::bytes(rows.text(7))});
            ++n.posts;
        }
    }
    {
        Statement rows(source, "SELECT user_id, pair_key FROM downloads");
        while (rows.step()) {
            pg->exec("INSERT INTO downloads (user_id, pair_key) VALUES ($1, $2)",
                     {rows.int64(0), rows.text(1)});
            ++n.downloads;
        }
    }
    {
        Statement rows(source, "SELECT user_id, day, shares FROM share_days");
        while (rows.step())
            pg->exec("INSERT INTO share_days (user_id, day, shares) VALUES ($1, $2, $3)",
                     {rows.int64(0), rows.text(1), rows.int64(2)});
    }
    {
        Statement rows(source, "SELECT network, day, shares FROM share_network_days");
        while (rows.step())
            pg->exec("INSERT INTO share_network_days (network, day, shares) VALUES ($1, $2, $3)",
                     {rows.text(0), rows.text(1), rows.int64(2)});
    }
    // New ids continue after the copied ones.
    pg->run("SELECT setval('account_ids', GREATEST(COALESCE(MAX(id), 0) + 1, " +
            std::to_string(Storage::kFirstUserId) + "), false) FROM accounts");
    pg->run("SELECT setval(pg_get_serial_sequence('shared_pairs', 'net_id'),"
            " COALESCE(MAX(net_id), 0) + 1, false) FROM shared_pairs");
    pg->run("SELECT setval(pg_get_serial_sequence('posts', 'seq'),"
            " COALESCE(MAX(seq), 0) + 1, false) FROM posts");
    pg->run("SELECT setval(pg_get_serial_sequence('ledger', 'seq'),"
            " COALESCE(MAX(seq), 0) + 1, false) FROM ledger");
    tx.commit();
    return n;
}

} // namespace wycserver
