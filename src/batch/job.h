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
//
// An item is done only once its result is written or its post is answered
// with success; a page answered with an HTTP error, a file that cannot be read
// or written and a post that fails or is refused are failures, told with
// their reason, and the run goes on. When every item is settled the job tells
// Finished once, with the summary.
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

// One article of a run.
struct Item {
    int index = 0;    // its line in the list (blank lines keep their number) or in the folder
    std::string name; // the address or the file name, without markers (GBK)
};

struct JobSettings {
    Source source = Source::Folder;
    std::string sourceDir; // GBK path; folder runs
    StringList lines;      // list runs: the list as it stands, markers of earlier runs included
    Target target = Target::Folder;
    std::string targetDir; // GBK path
    std::string postUrl;
    IdMode idMode = IdMode::FileName;
    // When set, only the items it accepts take part (a retry of the items an
    // earlier run left undone); the others keep their numbers.
    std::function<bool(const Item&)> include;
    // What becomes of a web page (a fetched text/html answer, an .htm or
    // .html file, a text that starts as a page): with keep or extract, a
    // folder run lists .htm and .html files beside .txt (see page_item.h).
    html::Mode html = html::Mode::Keep;
};

// Where an item failed.
enum class Stage { Read, Fetch, Write, Post };

struct Event {
    enum Kind {
        Started,  // a folder item is being rewritten, or a list item's fetch is launched
        Fetched,  // a list item's page came (detail: the address)
        Written,  // the result was written (detail: the path)
        Posting,  // the result's post was launched
        Posted,   // the post was answered with success (detail: the answer)
        Empty,    // nothing was left after the rewrite
        Failed,   // detail: the reason
        Finished, // every item is settled (the item is empty)
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
    // JobSettings::html) in name order, for a list its non-blank lines without
    // their markers. Known after prepare().
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
    // Ends the run early: nothing new starts; fetches not yet answered are
    // given up (the front end drops their requests), posts already sent are
    // still counted when they are answered.
    void stop();

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
    // `status` is the HTTP status of the answer; one of 400 or above is a
    // refusal, told as a failure.
    void posted(int index, const std::string& answer, int status = 200);
    void postFailed(int index, const std::string& reason);

    struct Summary {
        int total = 0, done = 0, empty = 0, failed = 0;
        int notDone = 0;          // given up when the run was stopped
        std::string firstFailure; // "name: reason" of the first item that failed
        bool stopped = false;
        bool finished = false; // every item is settled
        bool allSucceeded() const { return failed == 0 && notDone == 0; }
    };
    const Summary& summary() const { return m_summary; }
    // Between start() and the Finished event.
    bool running() const { return m_running; }
    // Items whose fetch or post was started and not yet answered.
    int outstanding() const { return m_outstanding; }

    // The average originality of the articles the run got done so far.
    const engine::OriginalityTally& originality() const { return m_originality; }

  private:
    enum class State { Waiting, Busy, Posting, Done, Empty, Failed, NotDone };
    void runFolder();
    int slotOf(int index) const;
    Item itemOf(int index, const std::string& name = {}) const;
    // Records what became of an item and tells it; an item outside the run
    // is told but not counted. Only a Busy or Posting item (or a Waiting one)
    // changes its state.
    void settle(const Item& item, State state, const std::string& detail = {},
                Stage stage = Stage::Read);
    void scored(int slot, int score);
    void finishIfSettled();
    void tell(Event::Kind kind, const Item& item, const std::string& detail = {},
              Stage stage = Stage::Read);
    // Sends a rewritten article to the target.
    void deliver(const Item& item, const std::string& name, const std::string& rewritten,
                 textfile::Encoding encoding, const char* listExtension = ".txt");
    // An item that is a web page: delivered, or settled with its reason;
    // `score` takes the text rewritten and its rewrite.
    void finishPage(const Item& item, const std::string& name, const PageItem& page,
                    const std::function<void(std::string, std::string)>& score);

    JobSettings m_settings;
    JobHooks m_hooks;
    std::function<void(const Event&)> m_onEvent;
    std::vector<Item> m_items;
    std::vector<State> m_states; // by position in m_items
    std::vector<int> m_scores;   // originality by position; -1 until known
    std::vector<int> m_slotOf;   // item index -> position in m_items, -1 for none
    Summary m_summary;
    int m_outstanding = 0;
    int m_open = 0;         // items not settled yet
    bool m_running = false; // between start() and the Finished event
    bool m_looping = false; // a folder run's loop is going
    StringList m_bareLines;
    engine::OriginalityTally m_originality;
};

} // namespace batch
