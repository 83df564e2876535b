#pragma once
// Read-ahead for a local-folder run: worker threads read the files of the run
// ahead of the window, in list order, and apply a thread-safe text step to
// each (the synonym replacement), so that the window only finishes each
// article. At most `ahead` articles, and about 64 MB of them, wait at a time.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/text_file.h"

namespace batch {

class Prefetch {
  public:
    using Step = std::function<std::string(const std::string&)>;
    struct Article {
        std::string text;                 // as read, GBK
        textfile::Encoding encoding{};    // the encoding the file was saved in
        std::optional<std::string> after; // the step applied, when there is a step
    };

    // `step` may be empty (read only).
    Prefetch(std::vector<std::string> paths, Step step, unsigned threads, size_t ahead = 32);
    ~Prefetch();
    Prefetch(const Prefetch&) = delete;
    Prefetch& operator=(const Prefetch&) = delete;

    // Article i, once it is ready; articles are taken in order, each once.
    // Throws std::runtime_error naming the file when it could not be read.
    Article take(size_t i);

  private:
    struct Slot {
        bool ready = false;
        Article article;
        std::string error;
    };
    void work();

    std::vector<std::string> m_paths;
    Step m_step;
    size_t m_ahead;
    std::vector<Slot> m_slots;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    size_t m_next = 0;         // the next article a worker claims
    size_t m_taken = 0;        // articles taken so far
    size_t m_waitingBytes = 0; // of the articles read and not yet taken
    bool m_stop = false;
    std::vector<std::thread> m_workers;
};

} // namespace batch
