// SqliteStorage: the shared thesaurus and the posts of the test submission page.
#include "sqlite_locked.h"

namespace wycserver {

namespace {

// The filter as bound parameters ?1 (net id), ?2 (sharer) and ?3 (word).
constexpr const char* kFilter = "(?1 IS NULL OR net_id = ?1) AND (?2 IS NULL OR sharer = ?2)"
                                " AND (?3 IS NULL OR ow = ?3 OR nw = ?3)";

void bindFilter(Statement& st, const PairFilter& f) {
    if (f.netId)
        st.bind(1, *f.netId);
    else
        st.bindNull(1);
    if (f.sharer)
        st.bind(2, *f.sharer);
    else
        st.bindNull(2);
    if (f.word)
        st.bind(3, *f.word);
    else
        st.bindNull(3);
}

bool isEmpty(const PairFilter& f) {
    return !f.netId && !f.sharer && !f.word;
}

} // namespace

std::int64_t SqliteStorage::pairCount() {
    return locked([&] {
        auto st = prepared("SELECT pairs FROM pair_stats WHERE id = 1");
        st.step();
        return st.int64(0);
    });
}

PairPage SqliteStorage::pairPage(std::int64_t page, std::int64_t pageSize) {
    return locked([&] {
        // One statement reads the count and the page's range of positions
        // together, so they agree even while another process shares.
        auto st = prepared("SELECT s.pairs, p.net_id, p.ow, p.nw, p.sharer FROM pair_stats s"
                           " LEFT JOIN shared_pairs p ON p.pos BETWEEN s.pairs - ?1 * ?2 + 1"
                           " AND s.pairs - (?1 - 1) * ?2 WHERE s.id = 1 ORDER BY p.pos DESC");
        st.bind(1, page).bind(2, pageSize);
        PairPage out;
        while (st.step()) {
            out.total = st.int64(0);
            if (!st.isNull(1))
                out.rows.push_back({st.int64(1), st.text(2), st.text(3), st.int64(4)});
        }
        return out;
    });
}

std::vector<SharedPair> SqliteStorage::findPairs(const PairFilter& filter, std::int64_t limit) {
    return locked([&] {
        auto st = prepared(std::string("SELECT net_id, ow, nw, sharer FROM shared_pairs WHERE ") +
                           kFilter + " ORDER BY pos DESC LIMIT ?4");
        bindFilter(st.statement(), filter);
        st.bind(4, limit);
        std::vector<SharedPair> out;
        while (st.step())
            out.push_back({st.int64(0), st.text(1), st.text(2), st.int64(3)});
        return out;
    });
}

std::int64_t SqliteStorage::deletePairs(const PairFilter& filter) {
    if (isEmpty(filter)) return 0;
    return locked([&]() -> std::int64_t {
        // Long for a large thesaurus: the positions after the first deleted
        // pair are numbered anew.
        m_deadline = std::chrono::steady_clock::time_point::max();
        Transaction tx(m_db);
        auto first = prepared(std::string("SELECT MIN(pos) FROM shared_pairs WHERE ") + kFilter);
        bindFilter(first.statement(), filter);
        first.step();
        if (first.isNull(0)) return 0;
        const std::int64_t from = first.int64(0);
        first.reset();
        auto del = prepared(std::string("DELETE FROM shared_pairs WHERE ") + kFilter);
        bindFilter(del.statement(), filter);
        del.run();
        const std::int64_t deleted = m_db.changes();
        renumberPairsFrom(from);
        auto count = prepared("UPDATE pair_stats SET pairs = pairs - ?1 WHERE id = 1");
        count.bind(1, deleted);
        count.run();
        tx.commit();
        return deleted;
    });
}

void SqliteStorage::addPost(const std::string& id, const std::string& content,
                            const std::string& preview, std::int64_t bodyBytes,
                            const std::string& remote) {
    const auto stored = static_cast<std::int64_t>(id.size() + preview.size() + content.size());
    locked([&] {
        Transaction tx(m_db);
        // The content is kept byte for byte: bound as text, stored as a blob.
        auto ins = prepared("INSERT INTO posts (post_id, body_bytes, stored_bytes, remote, preview,"
                            " content) VALUES (?1, ?2, ?3, ?4, ?5, CAST(?6 AS BLOB))");
        ins.bind(1, id).bind(2, bodyBytes).bind(3, stored).bind(4, remote).bind(5, preview);
        ins.bind(6, content);
        ins.run();
        auto byCount = prepared("DELETE FROM posts WHERE seq <= (SELECT MAX(seq) FROM posts) - ?1");
        byCount.bind(1, std::int64_t{kKeptPosts});
        byCount.run();
        auto byBytes = prepared("DELETE FROM posts WHERE seq IN (SELECT seq FROM"
                                " (SELECT seq, SUM(stored_bytes) OVER (ORDER BY seq DESC) AS total"
                                " FROM posts) WHERE total > ?1)"
                                " AND seq < (SELECT MAX(seq) FROM posts)");
        byBytes.bind(1, m_keptPostBytes);
        byBytes.run();
        tx.commit();
    });
}

std::vector<StoredPost> SqliteStorage::latestPosts(int limit) {
    return locked([&] {
        auto st = prepared("SELECT seq, received, post_id, preview, body_bytes, remote"
                           " FROM posts ORDER BY seq DESC LIMIT ?1");
        st.bind(1, std::int64_t{limit});
        std::vector<StoredPost> out;
        while (st.step())
            out.push_back(
                {st.int64(0), st.text(1), st.text(2), st.text(3), st.int64(4), st.text(5)});
        return out;
    });
}

std::optional<std::string> SqliteStorage::postContent(std::int64_t seq) {
    return locked([&]() -> std::optional<std::string> {
        auto st = prepared("SELECT content FROM posts WHERE seq = ?1");
        st.bind(1, seq);
        if (!st.step()) return std::nullopt;
        return st.text(0);
    });
}

} // namespace wycserver
