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
    m_states.assign(m_items.size(), State::Waiting);
    int last = m_items.empty() ? -1 : m_items.back().index;
    m_slotOf.assign(static_cast<size_t>(last + 1), -1);
    for (size_t s = 0; s < m_items.size(); ++s)
        m_slotOf[static_cast<size_t>(m_items[s].index)] = static_cast<int>(s);
    m_summary = {};
    m_summary.total = static_cast<int>(m_items.size());
    m_stoppedBy.clear();
    m_originality = {};
    return !m_items.empty();
}

void Job::start() {
    if (m_settings.source == Source::Folder) {
        runFolder();
        return;
    }
    // The items are copied: launching a fetch lets events run, and they may
    // start another run.
    const std::vector<Item> items = m_items;
    for (const Item& item : items) {
        if (int s = slotOf(item.index); s >= 0) m_states[static_cast<size_t>(s)] = State::Busy;
        tell(Event::Started, item);
        m_hooks.fetch(item, item.name);
    }
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

    for (size_t i = 0; i < m_items.size(); ++i) {
        const Item item = m_items[i];
        m_states[i] = State::Busy;
        tell(Event::Started, item);
        const engine::Pipeline pipeline = m_hooks.pipeline();
        if (!ahead || !sameSynonymStep(*ahead, pipeline)) readAheadFrom(i, pipeline);
        Prefetch::Article article;
        try {
            article = prefetch->take(i - base);
        } catch (const std::exception& e) {
            settle(item.index, State::Failed, e.what(), Stage::Read);
            if (m_settings.stopAtFailure) {
                m_stoppedBy = e.what();
                return;
            }
            if (m_hooks.yield) m_hooks.yield();
            continue;
        }
        // A page is done whole here, its read-ahead synonym step unused.
        if (auto page = folderPageItem(m_settings.html, paths[i], article.text, article.encoding,
                                       pipeline, *m_hooks.state)) {
            auto score = [&](std::string s, std::string r) {
                originality.add(std::move(s), std::move(r));
            };
            if (!finishPage(item, item.name, *page, score) && m_settings.stopAtFailure) {
                m_stoppedBy = m_summary.firstFailure;
                return;
            }
            if (m_hooks.yield) m_hooks.yield();
            continue;
        }
        std::string rewritten = article.after ? std::move(*article.after) : article.text;
        rewritten = pipeline.finish(std::move(rewritten), *m_hooks.state);
        if (rewritten.empty()) {
            settle(item.index, State::Empty);
        } else {
            const std::string result = resultText(rewritten);
            originality.add(std::move(article.text), std::move(rewritten));
            if (!deliver(item, item.name, result, article.encoding) && m_settings.stopAtFailure) {
                m_stoppedBy = m_summary.firstFailure;
                return;
            }
        }
        if (m_hooks.yield) m_hooks.yield();
    }
    m_originality = originality.finish();
}

void Job::fetched(int index, const Answer& answer) {
    const int s = slotOf(index);
    const Item item = s >= 0 ? m_items[static_cast<size_t>(s)] : Item{index, answer.url};
    tell(Event::Fetched, item, answer.url);
    const engine::Pipeline pipeline = m_hooks.pipeline();
    if (auto page = fetchedPageItem(m_settings.html, answer.body, answer.contentType, pipeline,
                                    *m_hooks.state)) {
        auto score = [this](std::string s, std::string r) {
            m_originality.add(engine::originality(s, r));
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
        settle(index, State::Empty);
        return;
    }
    m_originality.add(engine::originality(body, rewritten));
    // The line as it stands now names the item.
    std::string name = m_hooks.nameNow ? m_hooks.nameNow(item) : item.name;
    deliver(item, withoutMarkers(name), resultText(rewritten), textfile::Encoding::Gbk);
}

void Job::fetchFailed(int index, const std::string& reason) {
    settle(index, State::Failed, reason, Stage::Fetch);
}

void Job::posted(int index, const std::string& answer) {
    const int s = slotOf(index);
    const Item item = s >= 0 ? m_items[static_cast<size_t>(s)] : Item{index, {}};
    tell(Event::Posted, item, answer);
    if (s >= 0 && m_states[static_cast<size_t>(s)] == State::Busy) {
        m_states[static_cast<size_t>(s)] = State::Done;
        ++m_summary.done;
    }
}

void Job::postFailed(int index, const std::string& reason) {
    settle(index, State::Failed, reason, Stage::Post);
}

bool Job::finishPage(const Item& item, const std::string& name, const PageItem& page,
                     const std::function<void(std::string, std::string)>& score) {
    if (page.kind == PageItem::Failed) {
        settle(item.index, State::Failed, page.reason, Stage::Read);
        return false;
    }
    if (page.kind == PageItem::Empty) {
        settle(item.index, State::Empty, page.reason);
        return true;
    }
    score(page.source, page.rewritten);
    if (m_settings.target == Target::Post)
        return deliver(item, name, page.postText(), textfile::Encoding::Gbk);
    // A list run's articles are GBK, as its text results are.
    const bool gbk = m_settings.source == Source::List && page.kind == PageItem::Article;
    return deliver(item, name, page.output, gbk ? textfile::Encoding::Gbk : page.encoding,
                   page.extension());
}

bool Job::deliver(const Item& item, const std::string& name, const std::string& result,
                  textfile::Encoding encoding, const char* listExtension) {
    if (m_settings.target == Target::Folder) {
        const std::string fileName = m_settings.source == Source::Folder
                                         ? name
                                         : outputName(name, item.index, listExtension);
        const std::string path = joinPath(m_settings.targetDir, fileName);
        try {
            writeArticle(path, result, encoding);
        } catch (const std::exception& e) {
            settle(item.index, State::Failed, e.what(), Stage::Write);
            return false;
        }
        settle(item.index, State::Done, path);
        return true;
    }
    const std::string id = itemId(static_cast<int>(m_settings.idMode), name, item.index);
    tell(Event::Posting, item);
    m_hooks.post(item, m_settings.postUrl, postBody(id, result));
    return true;
}

int Job::slotOf(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= m_slotOf.size()) return -1;
    return m_slotOf[static_cast<size_t>(index)];
}

void Job::settle(int index, State state, const std::string& detail, Stage stage) {
    const int s = slotOf(index);
    const Item item = s >= 0 ? m_items[static_cast<size_t>(s)] : Item{index, {}};
    if (s >= 0) {
        State& now = m_states[static_cast<size_t>(s)];
        if (now == State::Done || now == State::Empty || now == State::Failed) {
            // Settled already: a late answer changes nothing but is told.
        } else {
            now = state;
            if (state == State::Done) ++m_summary.done;
            if (state == State::Empty) ++m_summary.empty;
            if (state == State::Failed) {
                if (m_summary.failed++ == 0) m_summary.firstFailure = detail;
            }
        }
    }
    tell(state == State::Done    ? Event::Written
         : state == State::Empty ? Event::Empty
                                 : Event::Failed,
         item, detail, stage);
}

void Job::tell(Event::Kind kind, const Item& item, const std::string& detail, Stage stage) {
    if (m_onEvent) m_onEvent(Event{kind, item, detail, stage});
}

} // namespace batch
