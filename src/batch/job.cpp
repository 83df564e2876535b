#include "batch/job.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <thread>

#include "batch/items.h"
#include "batch/originality_worker.h"
#include "batch/page_item.h"
#include "batch/prefetch.h"
#include "batch/source_files.h"
#include "net/requests.h"
#include "protocol/codepage.h"

namespace batch {

namespace {

bool isBlank(const std::string& line) {
    return line.find_first_not_of(" \t") == std::string::npos;
}

// Whether the synonym step of two pipelines is the same: the read-ahead of a
// folder run holds while it is.
bool sameSynonymStep(const engine::Pipeline& a, const engine::Pipeline& b) {
    if (a.settings().synonyms != b.settings().synonyms) return false;
    if (!a.settings().synonyms) return true;
    const auto& ta = a.thesaurus();
    const auto& tb = b.thesaurus();
    if (!ta || !tb) return ta == tb;
    return ta->replacerPtr() == tb->replacerPtr() && ta->guardPtr() == tb->guardPtr();
}

// A page answered with an HTTP error is no article: a "not found" page
// rewritten and published would be worse than nothing.
bool isHttpError(int status) {
    return status >= 400;
}

std::string httpErrorText(int status) {
    return cp::G("服务器回答错误 HTTP ") + std::to_string(status);
}

} // namespace

Job::Job(JobSettings settings, JobHooks hooks, std::function<void(const Event&)> onEvent)
    : m_settings(std::move(settings)), m_hooks(std::move(hooks)), m_onEvent(std::move(onEvent)) {}

Job::~Job() = default;

bool Job::prepare() {
    m_items.clear();
    m_bareLines.clear();
    if (m_settings.source == Source::Folder) {
        const std::vector<std::string> names =
            listArticles(m_settings.sourceDir, m_settings.html != html::Mode::Text);
        for (size_t i = 0; i < names.size(); ++i)
            m_items.push_back({static_cast<int>(i), names[i]});
    } else {
        // Markers of an earlier run over the same list are not part of the
        // address; a blank line is no item but keeps its place, so later lines
        // keep their index.
        for (size_t i = 0; i < m_settings.lines.size(); ++i) {
            m_bareLines.push_back(withoutMarkers(m_settings.lines[i]));
            if (!isBlank(m_bareLines.back()))
                m_items.push_back({static_cast<int>(i), m_bareLines.back()});
        }
    }
    if (m_settings.include)
        std::erase_if(m_items, [this](const Item& item) { return !m_settings.include(item); });
    m_states.assign(m_items.size(), State::Waiting);
    m_scores.assign(m_items.size(), -1);
    const int last = m_items.empty() ? -1 : m_items.back().index;
    m_slotOf.assign(static_cast<size_t>(last + 1), -1);
    for (size_t s = 0; s < m_items.size(); ++s)
        m_slotOf[static_cast<size_t>(m_items[s].index)] = static_cast<int>(s);
    m_summary = {};
    m_summary.total = static_cast<int>(m_items.size());
    m_outstanding = 0;
    m_open = static_cast<int>(m_items.size());
    m_originality = {};
    return !m_items.empty();
}

void Job::start() {
    m_running = true;
    if (m_settings.source == Source::Folder) {
        runFolder();
    } else {
        // The items are copied: launching a fetch lets events run, and they may
        // stop the run.
        const std::vector<Item> items = m_items;
        for (size_t s = 0; s < items.size() && !m_summary.stopped; ++s) {
            m_states[s] = State::Busy;
            ++m_outstanding;
            tell(Event::Started, items[s]);
            m_hooks.fetch(items[s], items[s].name);
        }
    }
    finishIfSettled();
}

void Job::stop() {
    if (m_summary.stopped || m_summary.finished) return;
    m_summary.stopped = true;
    // Posts already sent are still answered; everything else is given up.
    for (size_t s = 0; s < m_states.size(); ++s) {
        if (m_states[s] == State::Busy) --m_outstanding;
        if (m_states[s] == State::Waiting || m_states[s] == State::Busy) {
            m_states[s] = State::NotDone;
            ++m_summary.notDone;
            --m_open;
        }
    }
    finishIfSettled();
}

void Job::runFolder() {
    std::vector<std::string> paths;
    for (const Item& item : m_items)
        paths.push_back(joinPath(m_settings.sourceDir, item.name));
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 2u);

    // Worker threads read the files ahead and do the synonym step as it stands.
    // Should it change while the run lets events through, the reading ahead
    // starts again from the next file with the step of that moment, so every
    // article gets the rewrite of the moment it is done.
    std::optional<Prefetch> prefetch;
    std::optional<engine::Pipeline> ahead;
    size_t base = 0;
    auto readAheadFrom = [&](size_t first, const engine::Pipeline& pipeline) {
        prefetch.reset();
        ahead = pipeline;
        std::vector<std::string> rest(paths.begin() + static_cast<std::ptrdiff_t>(first),
                                      paths.end());
        Prefetch::Step step;
        if (pipeline.settings().synonyms)
            step = [p = pipeline](const std::string& text) { return p.replace(text); };
        prefetch.emplace(std::move(rest), std::move(step), threads);
        base = first;
    };
    OriginalityWorker originality;
    // The run is not over before the loop is and the scores are in.
    struct Looping {
        bool& flag;
        explicit Looping(bool& f) : flag(f) { flag = true; }
        ~Looping() { flag = false; }
    } looping(m_looping);

    for (size_t i = 0; i < m_items.size() && !m_summary.stopped; ++i) {
        const Item item = m_items[i];
        m_states[i] = State::Busy;
        tell(Event::Started, item);
        const engine::Pipeline pipeline = m_hooks.pipeline();
        if (!ahead || !sameSynonymStep(*ahead, pipeline)) readAheadFrom(i, pipeline);
        try {
            Prefetch::Article article = prefetch->take(i - base);
            // A page is done whole here, its read-ahead synonym step unused.
            if (auto page = folderPageItem(m_settings.html, paths[i], article.text,
                                           article.encoding, pipeline, *m_hooks.state)) {
                auto score = [&originality, i](std::string source, std::string rewritten) {
                    originality.add(static_cast<int>(i), std::move(source), std::move(rewritten));
                };
                finishPage(item, item.name, *page, score);
                if (m_hooks.yield) m_hooks.yield();
                continue;
            }
            std::string rewritten = article.after ? std::move(*article.after) : article.text;
            rewritten = pipeline.finish(std::move(rewritten), *m_hooks.state);
            if (rewritten.empty()) {
                settle(item, State::Empty);
            } else {
                const std::string result = resultText(rewritten);
                originality.add(static_cast<int>(i), std::move(article.text), std::move(rewritten));
                deliver(item, item.name, result, article.encoding);
            }
        } catch (const std::exception& e) {
            settle(item, State::Failed, e.what(), Stage::Read);
        }
        if (m_hooks.yield) m_hooks.yield();
    }
    for (const auto& [slot, score] : originality.finish())
        scored(slot, score);
}

void Job::fetched(int index, const Answer& answer) {
    const Item item = itemOf(index, answer.url);
    const int s = slotOf(index);
    // A run that was stopped takes no new work from a late page.
    if (s >= 0 && m_states[static_cast<size_t>(s)] != State::Busy) return;
    if (s >= 0) --m_outstanding;
    tell(Event::Fetched, item, answer.url);
    if (isHttpError(answer.status)) {
        settle(item, State::Failed, httpErrorText(answer.status), Stage::Fetch);
        return;
    }
    const engine::Pipeline pipeline = m_hooks.pipeline();
    if (auto page = fetchedPageItem(m_settings.html, answer.body, answer.contentType, pipeline,
                                    *m_hooks.state)) {
        auto score = [this, s](std::string source, std::string rewritten) {
            if (s >= 0) m_scores[static_cast<size_t>(s)] = engine::originality(source, rewritten);
        };
        finishPage(item, withoutMarkers(m_hooks.nameNow ? m_hooks.nameNow(item) : item.name), *page,
                   score);
        return;
    }
    // A text that is well-formed UTF-8 becomes GBK; anything else is kept as
    // it came.
    const std::string body = net::answerText(answer.body);
    const std::string rewritten = pipeline.rewrite(body, *m_hooks.state).text;
    if (rewritten.empty()) {
        settle(item, State::Empty);
        return;
    }
    if (s >= 0) m_scores[static_cast<size_t>(s)] = engine::originality(body, rewritten);
    // The line as it stands now names the item.
    std::string name = m_hooks.nameNow ? m_hooks.nameNow(item) : item.name;
    deliver(item, withoutMarkers(name), resultText(rewritten), textfile::Encoding::Gbk);
}

void Job::fetchFailed(int index, const std::string& reason) {
    const int s = slotOf(index);
    if (s >= 0 && m_states[static_cast<size_t>(s)] != State::Busy) return;
    if (s >= 0) --m_outstanding;
    settle(itemOf(index), State::Failed, reason, Stage::Fetch);
}

void Job::posted(int index, const std::string& answer, int status) {
    const int s = slotOf(index);
    if (s >= 0 && m_states[static_cast<size_t>(s)] == State::Posting) --m_outstanding;
    if (isHttpError(status)) {
        settle(itemOf(index), State::Failed, httpErrorText(status), Stage::Post);
        return;
    }
    settle(itemOf(index), State::Done, answer);
}

void Job::postFailed(int index, const std::string& reason) {
    const int s = slotOf(index);
    if (s >= 0 && m_states[static_cast<size_t>(s)] == State::Posting) --m_outstanding;
    settle(itemOf(index), State::Failed, reason, Stage::Post);
}

void Job::finishPage(const Item& item, const std::string& name, const PageItem& page,
                     const std::function<void(std::string, std::string)>& score) {
    if (page.kind == PageItem::Failed) {
        settle(item, State::Failed, page.reason, Stage::Read);
        return;
    }
    if (page.kind == PageItem::Empty) {
        settle(item, State::Empty, page.reason);
        return;
    }
    score(page.source, page.rewritten);
    if (m_settings.target == Target::Post) {
        deliver(item, name, page.postText(), textfile::Encoding::Gbk);
        return;
    }
    // A list run's articles are GBK, as its text results are.
    const bool gbk = m_settings.source == Source::List && page.kind == PageItem::Article;
    deliver(item, name, page.output, gbk ? textfile::Encoding::Gbk : page.encoding,
            page.extension());
}

void Job::deliver(const Item& item, const std::string& name, const std::string& result,
                  textfile::Encoding encoding, const char* listExtension) {
    if (m_settings.target == Target::Folder) {
        const std::string fileName = m_settings.source == Source::Folder
                                         ? name
                                         : outputName(name, item.index, listExtension);
        const std::string path = joinPath(m_settings.targetDir, fileName);
        try {
            writeArticle(path, result, encoding);
        } catch (const std::exception& e) {
            settle(item, State::Failed, e.what(), Stage::Write);
            return;
        }
        settle(item, State::Done, path);
        return;
    }
    const std::string id = itemId(static_cast<int>(m_settings.idMode), name, item.index);
    if (const int s = slotOf(item.index); s >= 0) {
        m_states[static_cast<size_t>(s)] = State::Posting;
        ++m_outstanding;
    }
    tell(Event::Posting, item);
    m_hooks.post(item, m_settings.postUrl, postBody(id, result));
}

int Job::slotOf(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= m_slotOf.size()) return -1;
    return m_slotOf[static_cast<size_t>(index)];
}

Item Job::itemOf(int index, const std::string& name) const {
    const int s = slotOf(index);
    return s >= 0 ? m_items[static_cast<size_t>(s)] : Item{index, name};
}

void Job::settle(const Item& item, State state, const std::string& detail, Stage stage) {
    const int s = slotOf(item.index);
    bool counted = false;
    if (s >= 0) {
        State& now = m_states[static_cast<size_t>(s)];
        if (now == State::Waiting || now == State::Busy || now == State::Posting) {
            now = state;
            counted = true;
            --m_open;
            if (state == State::Done) {
                ++m_summary.done;
                // Only an article that got where it was going counts in the average.
                if (m_scores[static_cast<size_t>(s)] >= 0)
                    m_originality.add(m_scores[static_cast<size_t>(s)]);
            }
            if (state == State::Empty) ++m_summary.empty;
            if (state == State::Failed && m_summary.failed++ == 0)
                m_summary.firstFailure = item.name + cp::G("：") + detail;
        }
    }
    // A late answer for an item already settled changes nothing.
    if (s >= 0 && !counted) return;
    tell(state == State::Done ? (m_settings.target == Target::Post ? Event::Posted : Event::Written)
         : state == State::Empty ? Event::Empty
                                 : Event::Failed,
         item, detail, stage);
    finishIfSettled();
}

void Job::scored(int slot, int score) {
    m_scores[static_cast<size_t>(slot)] = score;
    if (m_states[static_cast<size_t>(slot)] == State::Done) m_originality.add(score);
}

void Job::finishIfSettled() {
    if (!m_running || m_looping || m_summary.finished || m_open > 0) return;
    m_summary.finished = true;
    m_running = false;
    tell(Event::Finished, Item{-1, {}});
}

void Job::tell(Event::Kind kind, const Item& item, const std::string& detail, Stage stage) {
    if (m_onEvent) m_onEvent(Event{kind, item, detail, stage});
}

} // namespace batch
