// PgStorage: the shared thesaurus and the posts of the test submission page.
#include "pg_storage.h"

namespace wycserver {

namespace {

// The filter as parameters $1 (net id), $2 (sharer) and $3 (word).
constexpr const char* kFilter =
    "($1::bigint IS NULL OR net_id = $1) AND ($2::bigint IS NULL OR sharer = $2)"
    " AND ($3::text IS NULL OR ow = $3 OR nw = $3)";

std::vector<PgParam> filterParams(const PairFilter& f) {
    return {PgParam::optional(f.netId), PgParam::optional(f.sharer), PgParam::optional(f.word)};
}

// No stored word holds a NUL (PostgreSQL texts cannot).
bool matchesNothing(const PairFilter& f) {
    return f.word && f.word->find('\0') != std::string::npos;
}

std::vector<SharedPair> pairsFrom(const PgResult& r, int firstColumn) {
    std::vector<SharedPair> out;
    for (int i = 0; i < r.rows(); ++i) {
        if (r.isNull(i, firstColumn)) continue;
        out.push_back({r.int64(i, firstColumn), r.text(i, firstColumn + 1),
                       r.text(i, firstColumn + 2), r.int64(i, firstColumn + 3)});
    }
    return out;
}

// PostgreSQL texts cannot hold NUL; the display texts of a post lose theirs
// (the content itself is stored as bytes, exactly).
std::string withoutNul(std::string text) {
    std::erase(text, '\0');
    return text;
}

} // namespace

std::int64_t PgStorage::pairCount() {
    auto conn = m_pool.lease();
    return conn->exec("SELECT pairs FROM pair_stats WHERE id = 1").int64(0, 0);
}

PairPage PgStorage::pairPage(std::int64_t page, std::int64_t pageSize) {
    auto conn = m_pool.lease();
    // One statement reads the count and the page's range of positions
    // together, so they agree whatever the other processes do meanwhile.
    const auto r = conn->exec("SELECT s.pairs, p.net_id, p.ow, p.nw, p.sharer FROM pair_stats s"
                              " LEFT JOIN shared_pairs p ON p.pos BETWEEN"
                              " s.pairs - $1::bigint * $2::bigint + 1"
                              " AND s.pairs - ($1::bigint - 1) * $2::bigint"
                              " WHERE s.id = 1 ORDER BY p.pos DESC",
                              {page, pageSize});
    PairPage out;
    if (!r.empty()) out.total = r.int64(0, 0);
    out.rows = pairsFrom(r, 1);
    return out;
}

std::vector<SharedPair> PgStorage::findPairs(const PairFilter& filter, std::int64_t limit) {
    if (matchesNothing(filter)) return {};
    auto conn = m_pool.lease();
    auto params = filterParams(filter);
    params.emplace_back(limit);
    return pairsFrom(conn->exec(std::string("SELECT net_id, ow, nw, sharer FROM shared_pairs"
                                            " WHERE ") +
                                    kFilter + " ORDER BY pos DESC LIMIT $4",
                                params),
                     0);
}

std::int64_t PgStorage::deletePairs(const PairFilter& filter) {
    if ((!filter.netId && !filter.sharer && !filter.word) || matchesNothing(filter)) return 0;
    auto conn = m_pool.lease();
    PgTransaction tx(*conn);
    // Long for a large thesaurus: the positions after the first deleted pair
    // are numbered anew, holding the counter row so that no share comes between.
    conn->run("SET LOCAL statement_timeout = 0");
    conn->run("UPDATE pair_stats SET pairs = pairs WHERE id = 1");
    const auto first = conn->exec(std::string("SELECT MIN(pos) FROM shared_pairs WHERE ") + kFilter,
                                  filterParams(filter));
    if (first.isNull(0, 0)) return 0;
    const std::int64_t from = first.int64(0, 0);
    const std::int64_t deleted =
        conn->exec(std::string("DELETE FROM shared_pairs WHERE ") + kFilter, filterParams(filter))
            .affected();
    conn->exec("UPDATE shared_pairs SET pos = r.rn + $1 - 1 FROM (SELECT net_id,"
               " ROW_NUMBER() OVER (ORDER BY pos) AS rn FROM shared_pairs WHERE pos >= $1) AS r"
               " WHERE shared_pairs.net_id = r.net_id AND shared_pairs.pos <> r.rn + $1 - 1",
               {from});
    conn->exec("UPDATE pair_stats SET pairs = pairs - $1 WHERE id = 1", {deleted});
    tx.commit();
    return deleted;
}

void PgStorage::addPost(const std::string& id, const std::string& content,
                        const std::string& preview, std::int64_t bodyBytes,
                        const std::string& remote) {
    const auto stored = static_cast<std::int64_t>(id.size() + preview.size() + content.size());
    auto conn = m_pool.lease();
    PgTransaction tx(*conn);
    conn->exec(
        "INSERT INTO posts (post_id, body_bytes, stored_bytes, remote, preview, content)"
        " VALUES ($1, $2, $3, $4, $5, $6)",
        {withoutNul(id), bodyBytes, stored, remote, withoutNul(preview), PgParam::bytes(content)});
    conn->exec("DELETE FROM posts WHERE seq <= (SELECT MAX(seq) FROM posts) - $1",
               {std::int64_t{kKeptPosts}});
    conn->exec("DELETE FROM posts WHERE seq IN (SELECT seq FROM"
               " (SELECT seq, SUM(stored_bytes) OVER (ORDER BY seq DESC) AS total"
               " FROM posts) AS running WHERE total > $1)"
               " AND seq < (SELECT MAX(seq) FROM posts)",
               {m_keptPostBytes});
    tx.commit();
}

std::vector<StoredPost> PgStorage::latestPosts(int limit) {
    auto conn = m_pool.lease();
    const auto r = conn->exec("SELECT seq, received, post_id, preview, body_bytes, remote"
                              " FROM posts ORDER BY seq DESC LIMIT $1",
                              {std::int64_t{limit}});
    std::vector<StoredPost> out;
    for (int i = 0; i < r.rows(); ++i)
        out.push_back(
            {r.int64(i, 0), r.text(i, 1), r.text(i, 2), r.text(i, 3), r.int64(i, 4), r.text(i, 5)});
    return out;
}

std::optional<std::string> PgStorage::postContent(std::int64_t seq) {
    auto conn = m_pool.lease();
    const auto r = conn->exec("SELECT content FROM posts WHERE seq = $1", {seq}, true);
    if (r.empty()) return std::nullopt;
    return r.text(0, 0);
}

} // namespace wycserver
