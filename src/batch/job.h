#pragma once
// The batch job: many articles from a source (the .txt files of a folder, or
// the pages at the addresses of a download list) rewritten by the pipeline and
// sent to a target (files in a folder, or form posts to an address). It
// touches no control: it tells its front end what happens to each item through
// events, and reaches the network through the front end's hooks, whose
// completions come back through fetched(), fetchFailed(), posted() and
// postFailed().
//
// A folder run is done item after item inside start(), letting the front
// end's events run between items (the hooks' yield); worker threads read the
// files ahead and do the synonym step. A list run launches one fetch per item
// in start() and does the rest as the answers come back.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/originality.h"
#include "engine/pipeline.h"
#include "engine/stringlist.h"
#include "engine/text_file.h"
#include "html/page.h"

namespace batch {

struct PageItem;

enum class Source { Folder, List };
enum class Target { Folder, Post };

// The id a post sends: the item itself (the address of a list line, the name
// of a file) or its index.
enum class IdMode { Address = 0, Index = 1, FileName = 2 };

struct JobSettings {
    Source source = Source::Folder;
    std::string sourceDir; // GBK path; folder runs
    StringList lines;      // list runs: the list as it stands, markers of earlier runs included
    Target target = Target::Folder;
    std::string targetDir; // GBK path
    std::string postUrl;
    IdMode idMode = IdMode::FileName;
    // A folder run ends at the first file it cannot read or write.
    bool stopAtFailure = true;
    // What becomes of a web page (a fetched text/html answer, an .htm or
    // .html file, a text that starts as a page): with keep or extract, a
    // folder run lists .htm and .html files beside .txt (see page_item.h).
    html::Mode html = html::Mode::Keep;
};

// One article of a run.
struct Item {
    int index = 0;    // its line in the list (blank lines keep their number) or in the folder
    std::string name; // the address or the file name, without markers (GBK)
};

// Where an item failed.
enum class Stage { Read, Fetch, Write, Post };

struct Event {
    enum Kind {
        Started, // a folder item is being rewritten, or a list item's fetch is launched
        Fetched, // a list item's page came
        Written, // the result was written (detail: the path)
        Posting, // the result's post was launched
        Posted,  // the post was answered (detail: the answer)
        Empty,   // nothing was left after the rewrite
        Failed,  // detail: the reason
    };
    Kind kind;
    const Item& item;
    const std::string& detail;
    Stage stage = Stage::Read; // of a failure
};

struct JobHooks {
    // The rewrite as it stands now; asked for every item, so a change the user
    // makes during a run applies to the items after it.
    std::function<engine::Pipeline()> pipeline;
    // The shuffle's generator and match list, carried from item to item.
    engine::RewriteState* state = nullptr;
    // Start a fetch or a post; the completion comes back through the job.
    std::function<void(const Item&, const std::string& url)> fetch;
    std::function<void(const Item&, const std::string& url, const std::string& body)> post;
    // Folder runs: let the front end's events run, after every item.
    std::function<void()> yield;
    // List runs: the name of an item as its front end shows it when its page
    // comes (the list may have been edited meanwhile); the item's name when
    // empty.
    std::function<std::string(const Item&)> nameNow;
};

class Job {
  public:
    Job(JobSettings settings, JobHooks hooks, std::function<void(const Event&)> onEvent);
    ~Job();
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    // The items of the run: for a folder its .txt files (and pages, see
    // JobSettings::html) in name order, for a
    // list its non-blank lines without their markers. Known after start()
    // began (events may ask for it).
    const std::vector<Item>& items() const { return m_items; }
    // The list's lines without the markers of earlier runs.
    const StringList& bareLines() const { return m_bareLines; }

    const JobSettings& settings() const { return m_settings; }
    // The hooks, which a front end may replace between items.
    JobHooks& hooks() { return m_hooks; }

    // Lists the source; false when there is nothing to do (no file, no line).
    bool prepare();
    // Runs a folder run to its end, or launches a list run's fetches.
    void start();

    // A fetched page as the request layer gives it.
    struct Answer {
        std::string url;
        std::string body; // the bytes as received
        int status = 200; // HTTP status; 0 when unknown
        std::string contentType;
    };
    // Completions of the hooks' requests, by item index.
    // A completion for an index the run does not hold (a fetch started
    // elsewhere) is taken as an item of its own, named by its address.
    void fetched(int index, const Answer& answer);
    void fetchFailed(int index, const std::string& reason);
    void posted(int index, const std::string& answer);
    void postFailed(int index, const std::string& reason);

    // How the items stand: every item done (written or its post answered),
    // empty or failed means the run is over.
    struct Summary {
        int total = 0, done = 0, empty = 0, failed = 0;
        std::string firstFailure; // the reason of the first item that failed
        bool over() const { return done + empty + failed >= total; }
    };
    const Summary& summary() const { return m_summary; }
    // The reason a folder run ended early (stopAtFailure), or empty.
    const std::string& stoppedBy() const { return m_stoppedBy; }

    // The originality of the articles rewritten so far (a folder run's after
    // start() returned).
    const engine::OriginalityTally& originality() const { return m_originality; }

  private:
    enum class State { Waiting, Busy, Done, Empty, Failed };
    void runFolder();
    int slotOf(int index) const;
    // Records a final state of the item (once; items outside the run are not counted).
    void settle(int index, State state, const std::string& detail = {}, Stage stage = Stage::Read);
    void tell(Event::Kind kind, const Item& item, const std::string& detail = {},
              Stage stage = Stage::Read);
    // Sends a rewritten article to the target; false when it failed.
    bool deliver(const Item& item, const std::string& name, const std::string& rewritten,
                 textfile::Encoding encoding, const char* listExtension = ".txt");
    // An item that is a web page: delivered, or settled with its reason;
    // `score` takes the text rewritten and its rewrite. False when it failed.
    bool finishPage(const Item& item, const std::string& name, const PageItem& page,
                    const std::function<void(std::string, std::string)>& score);

    JobSettings m_settings;
    JobHooks m_hooks;
    std::function<void(const Event&)> m_onEvent;
    std::vector<Item> m_items;
    std::vector<State> m_states; // by position in m_items
    std::vector<int> m_slotOf;   // item index -> position in m_items, -1 for none
    Summary m_summary;
    std::string m_stoppedBy;
    StringList m_bareLines;
    engine::OriginalityTally m_originality;
};

} // namespace batch
