#include "service/thesaurus_holder.h"

#include <sys/stat.h>

#include <exception>

#include "sqlitedb/sqlite.h"
#include "thesaurus/keyword_store.h"
#include "thesaurus/snapshot.h"

namespace service {

ThesaurusHolder::ThesaurusHolder(std::string dbPath, StringList defaultProtected)
    : m_path(std::move(dbPath)), m_defaultProtected(std::move(defaultProtected)),
      m_bare(engine::Thesaurus::make({}, {}, m_defaultProtected)) {
    std::string error;
    if (!reload(&error)) throw std::runtime_error(error);
}

std::vector<ThesaurusHolder::Stamp> ThesaurusHolder::stamps() const {
    std::vector<Stamp> all;
    for (const char* suffix : {"", "-wal", "-journal"}) {
        Stamp s;
        struct stat st {};
        if (::stat((m_path + suffix).c_str(), &st) == 0) {
            s.exists = true;
            s.inode = st.st_ino;
            s.size = st.st_size;
            s.mtimeNs =
                static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
        }
        all.push_back(s);
    }
    return all;
}

bool ThesaurusHolder::reload(std::string* error) {
    // Stamped before reading: a write that lands during the read changes the
    // stamps again, and the next check reads once more.
    m_seen = stamps();
    try {
        thesaurus::StoredWords words;
        {
            auto store = KeywordStore::open(m_path);
            // One read transaction: the pairs and the protected words of one moment.
            Transaction reading(store->db());
            words = thesaurus::readWords(*store);
        }
        auto snapshot = std::make_shared<Snapshot>();
        snapshot->protectedInFile = words.protectedWords.size();
        snapshot->protectedWords = std::move(words.protectedWords);
        for (const std::string& word : m_defaultProtected)
            snapshot->protectedWords.push_back(word);
        snapshot->full =
            engine::Thesaurus::make(words.originals, words.replacements, snapshot->protectedWords);
        snapshot->bare = m_bare;
        m_current.store(std::move(snapshot));
        return true;
    } catch (const std::exception& e) {
        if (error) *error = "cannot read the thesaurus database " + m_path + ": " + e.what();
    }
    return false;
}

bool ThesaurusHolder::reloadIfChanged(std::string* error) {
    if (stamps() == m_seen) return false;
    return reload(error);
}

} // namespace service
