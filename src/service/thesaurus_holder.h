#pragma once
// The thesaurus the service rewrites with: one snapshot of setting.dat at a
// time, swapped whole when the file changes. A request takes the snapshot
// current when it starts and keeps it (a shared_ptr) until it has answered,
// so a reload never changes a rewrite under way and never waits for one.
#include <atomic>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

#include "engine/pipeline.h"
#include "engine/stringlist.h"

namespace service {

struct Snapshot {
    // The pairs in use and the protected words of the file, with the
    // defaults' protected words.
    std::shared_ptr<const engine::Thesaurus> full;
    // No pairs, the defaults' protected words only: what `wyc-cli rewrite
    // --no-synonyms` protects (it does not read the file then).
    std::shared_ptr<const engine::Thesaurus> bare;
    // The protected words of `full`, for requests that add their own.
    StringList protectedWords;
    size_t protectedInFile = 0;
};

class ThesaurusHolder {
  public:
    // Loads the file; throws (DbError or std::runtime_error) when it cannot.
    ThesaurusHolder(std::string dbPath, StringList defaultProtected);

    std::shared_ptr<const Snapshot> current() const { return m_current.load(); }

    // Reads the file again and swaps the snapshot; on failure keeps the old
    // one and returns false with the reason in `error`. Not to be called from
    // two threads at once (the service's control loop calls it).
    bool reload(std::string* error = nullptr);
    // Reloads when the file (or its journal) changed since the last load:
    // true when a new snapshot was taken.
    bool reloadIfChanged(std::string* error = nullptr);

    const std::string& path() const { return m_path; }

  private:
    // What stat() says of setting.dat and its journals: a change in any
    // means another program wrote to the file.
    struct Stamp {
        bool exists = false;
        ino_t inode = 0;
        off_t size = 0;
        long long mtimeNs = 0;
        bool operator==(const Stamp&) const = default;
    };
    std::vector<Stamp> stamps() const;

    std::string m_path;
    StringList m_defaultProtected;
    std::shared_ptr<const engine::Thesaurus> m_bare;
    std::vector<Stamp> m_seen;
    std::atomic<std::shared_ptr<const Snapshot>> m_current;
};

} // namespace service
