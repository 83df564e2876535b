#include "engine/synonyms.h"

#include <algorithm>
#include <bitset>
#include <functional>
#include <string_view>
#include <utility>

#include "engine/char_automaton.h"
#include "engine/textutil.h"
#include "protocol/codepage.h"

// How the fast replacement stays exact.
//
// Words that end on a character boundary (every word read from the database
// does) keep the character boundaries of the text around them when they are
// inserted or removed. So, over a run of such pairs:
// - A character of the input that occurs in no original word is never part of
//   an occurrence, now or after any replacement. The text is cut after every
//   such "wall" character into segments that are rewritten independently.
// - Inside a segment, one automaton scan finds the pairs whose original word
//   occurs. Pairs are then taken in ascending order from a queue; a pair that
//   replaces something can only create occurrences that overlap what it
//   inserted (or span the place where it deleted), so only the neighbourhood
//   of its replacements is scanned again and the pairs found there are queued.
// - A long segment is further cut into blocks, so a pair rewrites only the
//   blocks where its word starts; an occurrence that runs on into the next
//   block is replaced in the block where it starts.
// A pair with a word that ends in the middle of a character is rare (only hand
// made lists have one); it is applied on its own with ReplaceAll between the
// runs of ordinary pairs.
//
// Stretches the caller keeps (protected words) are walls of their own: copied
// as they stand, with the text on either side rewritten independently. Marks
// (which bytes replacements put in) travel beside the text as a byte string
// of the same length, rebuilt wherever the text is.

namespace {

using cp::isGbkLead;

// Segments up to this size are rescanned whole after a replacement.
constexpr size_t kWholeRescanLimit = 128;
// Segments longer than this are cut into blocks of about kBlockBytes.
constexpr size_t kLongSegment = 192;
constexpr size_t kBlockBytes = 48;

// The windows of `text` that can hold an occurrence overlapping one of the
// replacements at `sites` (each `inserted` bytes long, or spanning the place
// of a deletion), each widened to start on a character boundary; `text`
// starts on a boundary. Calls fn(window).
template <class F>
void forEachWindow(std::string_view text, const std::vector<size_t>& sites, size_t inserted,
                   size_t maxLen, F&& fn) {
    const auto* t = reinterpret_cast<const unsigned char*>(text.data());
    size_t boundary = 0, lastBoundary = 0;
    size_t winStart = 0, winEnd = 0;
    bool open = false;
    auto flush = [&] {
        while (boundary <= winStart && boundary < text.size()) {
            lastBoundary = boundary;
            boundary += isGbkLead(t[boundary]) ? 2 : 1;
        }
        fn(text.substr(lastBoundary, winEnd - lastBoundary));
    };
    for (size_t site : sites) {
        const size_t ws = site + 1 >= maxLen ? site + 1 - maxLen : 0;
        const size_t we = std::min(text.size(), site + inserted + maxLen - 1);
        if (open && ws <= winEnd) {
            winEnd = std::max(winEnd, we);
            continue;
        }
        if (open) flush();
        winStart = ws;
        winEnd = we;
        open = true;
    }
    if (open) flush();
}

constexpr char kInserted = 1;

// Appends to `out` the marks of a text that one pair rewrote: `marks` belongs
// to the text before, `sites` holds the offsets (from `base`) in the text
// after of the `toLen`-byte replacements of `fromLen`-byte occurrences.
void appendRewrittenMarks(std::string_view marks, const std::vector<size_t>& sites, size_t base,
                          size_t fromLen, size_t toLen, std::string& out) {
    size_t copied = 0;
    for (size_t k = 0; k < sites.size(); ++k) {
        const size_t at = sites[k] - base + k * fromLen - k * toLen; // in the text before
        out.append(marks.substr(copied, at - copied));
        out.append(toLen, kInserted);
        copied = at + fromLen;
    }
    out.append(marks.substr(copied));
}

// ReplaceAll of one pair on `piece`, appended to `out`, with the marks
// appended to `outMarks` when it is given. Returns the occurrences replaced.
size_t replacePiece(std::string_view piece, std::string_view marks, const std::string& from,
                    const std::string& to, std::string& out, std::string* outMarks,
                    std::vector<size_t>& sites) {
    sites.clear();
    const size_t base = out.size();
    const size_t n = textutil::replaceInto(piece, from, to, out, &sites);
    if (outMarks) appendRewrittenMarks(marks, sites, base, from.size(), to.size(), *outMarks);
    return n;
}

} // namespace

// One stage's view of what the caller asked for: the stretches of its input
// to keep and the input's marks; after the stage, the same of its output.
struct SynonymReplacer::Pass {
    std::vector<TextSpan> keep;
    bool withMarks = false;
    std::string marks;
    size_t replacements = 0;
};

std::vector<TextSpan> ReplaceTrace::markedSpans() const {
    std::vector<TextSpan> spans;
    for (size_t i = 0; i < marks.size();) {
        const size_t begin = marks.find(kInserted, i);
        if (begin == std::string::npos) break;
        const size_t end = std::min(marks.find('\0', begin), marks.size());
        spans.push_back({begin, end});
        i = end;
    }
    return spans;
}

std::string replaceSynonymsReference(const std::string& text, const StringList& originals,
                                     const StringList& replacements) {
    if (text.empty()) return {};
    std::string t = text;
    const size_t count = std::min(originals.size(), replacements.size());
    for (size_t i = 0; i < count; ++i)
        t = ReplaceAll(t, originals[i], replacements[i]);
    return t;
}

// A run of ordinary pairs with its index.
class SynonymReplacer::Run {
  public:
    Run(const StringList& originals, const StringList& replacements)
        : m_originals(originals), m_replacements(replacements) {}

    size_t stateCount() const { return m_automaton.stateCount(); }
    void reserve(size_t characters) {
        m_automaton.reserve(characters);
        m_added.reserve(characters / 2);
    }
    void add(int pair);
    void finish();
    std::string apply(std::string_view text, Pass* pass) const;

  private:
    struct Work {
        std::vector<int> queue;      // min-heap of pair indices
        std::vector<unsigned> stamp; // per pattern: last scan that queued it
        unsigned scanNo = 0;
        std::vector<size_t> sites;
        std::string next;
        std::string nextMarks;
        size_t replacements = 0;
    };
    struct Block {
        std::string text;
        std::string marks;         // when tracing marks
        std::vector<size_t> sites; // replacements of the current pair
    };

    // The first pair of pattern `id` after pair `after`, or -1.
    int nextPair(int id, int after) const {
        const auto first = m_pairs.begin() + m_pairBegin[static_cast<size_t>(id)];
        const auto last = m_pairs.begin() + m_pairBegin[static_cast<size_t>(id) + 1];
        const auto it = std::upper_bound(first, last, after);
        return it == last ? -1 : *it;
    }
    const std::string& from(int pair) const { return m_originals[static_cast<size_t>(pair)]; }
    const std::string& to(int pair) const { return m_replacements[static_cast<size_t>(pair)]; }

    void queuePatterns(std::string_view data, int after, Work& work) const;
    // `marks` belongs to `segment` and `outMarks` receives the marks of the
    // result; both only when tracing marks (outMarks is null otherwise).
    void rewriteSegment(std::string_view segment, std::string_view marks, std::string& out,
                        std::string* outMarks, Work& work) const;
    void rewriteLongSegment(std::string_view segment, std::string_view marks, std::string& out,
                            std::string* outMarks, Work& work) const;

    const StringList& m_originals;
    const StringList& m_replacements;
    CharAutomaton m_automaton;
    std::vector<std::pair<int, int>> m_added; // (pattern id, pair) until finish()
    std::vector<uint32_t> m_pairBegin;        // pattern id -> its pairs in m_pairs, ascending
    std::vector<int> m_pairs;
    std::bitset<256> m_singleUsed;   // one-byte characters of original words
    std::bitset<65536> m_doubleUsed; // two-byte characters of original words
};

void SynonymReplacer::Run::add(int pair) {
    const std::string& word = from(pair);
    m_added.emplace_back(m_automaton.add(word), pair);
    const auto* w = reinterpret_cast<const unsigned char*>(word.data());
    for (size_t k = 0; k < word.size();) {
        if (isGbkLead(w[k])) {
            m_doubleUsed.set((static_cast<size_t>(w[k]) << 8) | w[k + 1]);
            k += 2;
        } else {
            m_singleUsed.set(w[k]);
            k += 1;
        }
    }
}

void SynonymReplacer::Run::finish() {
    m_automaton.finish();
    // The pairs of each pattern, in ascending order (they were added so).
    m_pairBegin.assign(static_cast<size_t>(m_automaton.patternCount()) + 1, 0);
    for (const auto& [id, pair] : m_added)
        ++m_pairBegin[static_cast<size_t>(id) + 1];
    for (size_t i = 1; i < m_pairBegin.size(); ++i)
        m_pairBegin[i] += m_pairBegin[i - 1];
    m_pairs.resize(m_added.size());
    std::vector<uint32_t> fill(m_pairBegin.begin(), m_pairBegin.end() - 1);
    for (const auto& [id, pair] : m_added)
        m_pairs[fill[static_cast<size_t>(id)]++] = pair;
    m_added = {};
}

void SynonymReplacer::Run::queuePatterns(std::string_view data, int after, Work& work) const {
    const unsigned scanNo = ++work.scanNo;
    m_automaton.scan(data, [&](int id, size_t) {
        unsigned& seen = work.stamp[static_cast<size_t>(id)];
        if (seen == scanNo) return;
        seen = scanNo;
        const int pair = nextPair(id, after);
        if (pair < 0) return;
        work.queue.push_back(pair);
        std::push_heap(work.queue.begin(), work.queue.end(), std::greater<int>());
    });
}

void SynonymReplacer::Run::rewriteSegment(std::string_view segment, std::string_view marks,
                                          std::string& out, std::string* outMarks,
                                          Work& work) const {
    if (segment.empty()) return;
    if (segment.size() > kLongSegment) {
        rewriteLongSegment(segment, marks, out, outMarks, work);
        return;
    }
    work.queue.clear();
    queuePatterns(segment, -1, work);
    if (work.queue.empty()) {
        out.append(segment);
        if (outMarks) outMarks->append(marks);
        return;
    }
    std::string cur(segment);
    std::string curMarks(outMarks ? marks : std::string_view());
    int last = -1;
    while (!work.queue.empty()) {
        std::pop_heap(work.queue.begin(), work.queue.end(), std::greater<int>());
        const int pair = work.queue.back();
        work.queue.pop_back();
        if (pair == last) continue;
        last = pair;
        work.next.clear();
        work.nextMarks.clear();
        const size_t replaced = replacePiece(cur, curMarks, from(pair), to(pair), work.next,
                                             outMarks ? &work.nextMarks : nullptr, work.sites);
        if (replaced == 0) continue;
        work.replacements += replaced;
        cur.swap(work.next);
        if (outMarks) curMarks.swap(work.nextMarks);
        if (cur.size() <= kWholeRescanLimit) {
            queuePatterns(cur, pair, work);
            continue;
        }
        forEachWindow(cur, work.sites, to(pair).size(), m_automaton.maxLength(),
                      [&](std::string_view window) { queuePatterns(window, pair, work); });
    }
    out.append(cur);
    if (outMarks) outMarks->append(curMarks);
}

void SynonymReplacer::Run::rewriteLongSegment(std::string_view segment, std::string_view marks,
                                              std::string& out, std::string* outMarks,
                                              Work& work) const {
    const auto* t = reinterpret_cast<const unsigned char*>(segment.data());
    const size_t n = segment.size();
    const size_t maxLen = m_automaton.maxLength();

    // Blocks of about kBlockBytes, each starting on a character boundary.
    std::vector<size_t> starts{0};
    for (size_t x = 0; x < n; x += isGbkLead(t[x]) ? 2 : 1)
        if (x - starts.back() >= kBlockBytes) starts.push_back(x);
    std::vector<Block> blocks(starts.size());
    for (size_t b = 0; b < starts.size(); ++b) {
        const size_t end = b + 1 < starts.size() ? starts[b + 1] : n;
        blocks[b].text.assign(segment.substr(starts[b], end - starts[b]));
        if (outMarks) blocks[b].marks.assign(marks.substr(starts[b], end - starts[b]));
    }
    const int blockCount = static_cast<int>(blocks.size());

    // The queue holds (pair, block) as pair << 32 | block: the pairs whose
    // word may start in the block. Duplicates are dropped when taken out.
    std::vector<uint64_t> queue;
    auto push = [&queue](int pair, int block) {
        queue.push_back((static_cast<uint64_t>(pair) << 32) | static_cast<uint32_t>(block));
        std::push_heap(queue.begin(), queue.end(), std::greater<uint64_t>());
    };
    m_automaton.scan(segment, [&](int id, size_t start) {
        const auto block =
            std::upper_bound(starts.begin(), starts.end(), start) - starts.begin() - 1;
        push(nextPair(id, -1), static_cast<int>(block));
    });

    std::vector<int> targets;
    std::vector<size_t> found;
    std::string ahead, context;
    std::vector<std::pair<size_t, int>> parts; // (offset in context, block)
    while (!queue.empty()) {
        const int pair = static_cast<int>(queue.front() >> 32);
        targets.clear();
        while (!queue.empty() && static_cast<int>(queue.front() >> 32) == pair) {
            const int block = static_cast<int>(queue.front() & 0xFFFFFFFF);
            if (targets.empty() || targets.back() != block) targets.push_back(block);
            std::pop_heap(queue.begin(), queue.end(), std::greater<uint64_t>());
            queue.pop_back();
        }
        const std::string& word = from(pair);
        const std::string& with = to(pair);
        const size_t m = word.size();

        // The blocks in text order, each as the whole text would be rewritten
        // there: an occurrence that starts in a block and runs on into the
        // next ones is replaced in the block and its bytes are taken from the
        // fronts of the following blocks, where the scan then goes on.
        for (int b : targets) {
            Block& block = blocks[static_cast<size_t>(b)];
            found.clear();
            textutil::findOccurrences(block.text, word, found);
            const size_t size = block.text.size();
            size_t tail = found.empty() ? 0 : found.back() + m; // a boundary
            size_t straddle = std::string::npos;
            if (m > 1 && b + 1 < blockCount && tail < size) {
                ahead.clear();
                for (int k = b + 1; k < blockCount && ahead.size() < m - 1; ++k)
                    ahead.append(blocks[static_cast<size_t>(k)].text, 0, m - 1 - ahead.size());
                const auto* bt = reinterpret_cast<const unsigned char*>(block.text.data());
                for (size_t q = tail; q < size; q += isGbkLead(bt[q]) ? 2 : 1) {
                    if (q + m <= size) continue;
                    const size_t inBlock = size - q;
                    if (ahead.size() >= m - inBlock &&
                        block.text.compare(q, inBlock, word, 0, inBlock) == 0 &&
                        ahead.compare(0, m - inBlock, word, inBlock, m - inBlock) == 0) {
                        straddle = q;
                        break;
                    }
                }
            }
            if (found.empty() && straddle == std::string::npos) continue;
            work.next.clear();
            if (outMarks) work.nextMarks.clear();
            size_t copied = 0;
            // Copies the block up to `q` and puts the new word in.
            auto replaceAt = [&](size_t q) {
                work.next.append(block.text, copied, q - copied);
                block.sites.push_back(work.next.size());
                work.next += with;
                if (outMarks) {
                    work.nextMarks.append(block.marks, copied, q - copied);
                    work.nextMarks.append(with.size(), kInserted);
                }
                ++work.replacements;
            };
            for (size_t q : found) {
                replaceAt(q);
                copied = q + m;
            }
            if (straddle != std::string::npos) {
                replaceAt(straddle);
                size_t rest = m - (size - straddle);
                for (int k = b + 1; rest > 0; ++k) {
                    Block& next = blocks[static_cast<size_t>(k)];
                    const size_t take = std::min(rest, next.text.size());
                    next.text.erase(0, take);
                    if (outMarks) next.marks.erase(0, take);
                    rest -= take;
                }
            } else {
                work.next.append(block.text, copied, size - copied);
                if (outMarks) work.nextMarks.append(block.marks, copied, size - copied);
            }
            block.text.swap(work.next);
            if (outMarks) block.marks.swap(work.nextMarks);
        }

        // Rescan around the replacements, with the neighbouring blocks' bytes
        // where a window reaches over an edge, and queue the later pairs
        // found, each for the block its occurrence starts in.
        for (int b : targets) {
            Block& block = blocks[static_cast<size_t>(b)];
            if (block.sites.empty()) continue;
            context.clear();
            parts.clear();
            if (block.sites.front() + 1 < maxLen) {
                // Whole previous blocks (each starts on a boundary) until
                // maxLen - 1 bytes are gathered.
                int first = b;
                size_t gathered = 0;
                while (first > 0 && gathered + 1 < maxLen)
                    gathered += blocks[static_cast<size_t>(--first)].text.size();
                for (int k = first; k < b; ++k) {
                    parts.emplace_back(context.size(), k);
                    context += blocks[static_cast<size_t>(k)].text;
                }
            }
            const size_t offset = context.size();
            parts.emplace_back(offset, b);
            context += block.text;
            if (block.sites.back() + with.size() + maxLen - 1 > block.text.size()) {
                for (int k = b + 1;
                     k < blockCount && context.size() + 1 < offset + block.text.size() + maxLen;
                     ++k) {
                    parts.emplace_back(context.size(), k);
                    context.append(blocks[static_cast<size_t>(k)].text, 0,
                                   offset + block.text.size() + maxLen - 1 - context.size());
                }
            }
            for (size_t& site : block.sites)
                site += offset;
            forEachWindow(context, block.sites, with.size(), maxLen, [&](std::string_view window) {
                const size_t base = static_cast<size_t>(window.data() - context.data());
                m_automaton.scan(window, [&](int id, size_t start) {
                    const int next = nextPair(id, pair);
                    if (next < 0) return;
                    auto part = std::upper_bound(parts.begin(), parts.end(),
                                                 std::make_pair(base + start, blockCount));
                    push(next, std::prev(part)->second);
                });
            });
            block.sites.clear();
        }
    }
    for (const Block& block : blocks) {
        out += block.text;
        if (outMarks) *outMarks += block.marks;
    }
}

std::string SynonymReplacer::Run::apply(std::string_view text, Pass* pass) const {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    Work work;
    work.stamp.assign(static_cast<size_t>(m_automaton.patternCount()), 0);
    const bool withMarks = pass && pass->withMarks;
    std::string outMarks;
    if (withMarks) outMarks.reserve(out.capacity());
    std::string* const om = withMarks ? &outMarks : nullptr;
    const std::string_view marks = withMarks ? std::string_view(pass->marks) : std::string_view();
    auto copy = [&](size_t from, size_t to) {
        out.append(text.substr(from, to - from));
        if (om) om->append(marks.substr(from, to - from));
    };
    auto rewrite = [&](size_t from, size_t to) {
        rewriteSegment(text.substr(from, to - from),
                       om ? marks.substr(from, to - from) : std::string_view(), out, om, work);
    };

    static const std::vector<TextSpan> kNone;
    const std::vector<TextSpan>& keep = pass ? pass->keep : kNone;
    std::vector<TextSpan> kept;
    kept.reserve(keep.size());
    size_t k = 0;
    size_t nextKeep = keep.empty() ? std::string::npos : keep[0].begin;

    const auto* t = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t segStart = 0, i = 0;
    while (i < n) {
        if (i >= nextKeep) {
            // A kept stretch; a character that ran into it (only after a pair
            // whose words end inside a character) keeps its bytes where they went.
            const size_t from = std::max(keep[k].begin, segStart);
            const size_t to = std::max(keep[k].end, from);
            rewrite(segStart, from);
            kept.push_back({out.size(), out.size() + (to - from)});
            copy(from, to);
            i = segStart = to;
            nextKeep = ++k < keep.size() ? keep[k].begin : std::string::npos;
            continue;
        }
        const unsigned char b = t[i];
        size_t len = 1;
        bool wall;
        if (isGbkLead(b)) {
            // A lead byte at the very end is a character no word holds.
            if (i + 1 < n) {
                len = 2;
                wall = !m_doubleUsed[(static_cast<size_t>(b) << 8) | t[i + 1]];
            } else {
                wall = true;
            }
        } else {
            wall = !m_singleUsed[b];
        }
        if (wall) {
            rewrite(segStart, i);
            copy(i, i + len);
            segStart = i + len;
        }
        i += len;
    }
    rewrite(segStart, n);
    if (pass) {
        pass->keep = std::move(kept);
        if (withMarks) pass->marks = std::move(outMarks);
        pass->replacements += work.replacements;
    }
    return out;
}

SynonymReplacer::SynonymReplacer() = default;
SynonymReplacer::~SynonymReplacer() = default;

void SynonymReplacer::build(const StringList& originals, const StringList& replacements) {
    m_stages.clear();
    m_originals = originals;
    m_replacements = replacements;
    const size_t count = std::min(originals.size(), replacements.size());
    Run* run = nullptr;
    auto closeRun = [&] {
        if (run) run->finish();
        run = nullptr;
    };
    // A word holding a four-byte character could match from the middle of
    // one under the GBK rule the runs walk by; such a pair is applied on its
    // own, by ReplaceAll, which walks four-byte characters whole. Every other
    // original word matches the same places under either rule.
    auto ordinary = [&](size_t i) {
        return textutil::endsOnCharBoundary(m_originals[i]) &&
               textutil::endsOnCharBoundary(m_replacements[i]) &&
               !textutil::holdsFourByteHalf(m_originals[i]);
    };
    for (size_t i = 0; i < count; ++i) {
        const std::string& from = m_originals[i];
        if (from.empty()) continue; // matches nothing
        if (!ordinary(i)) {
            closeRun();
            m_stages.push_back({static_cast<long>(i), nullptr});
            continue;
        }
        // One automaton holds a bounded number of states; a huge thesaurus
        // continues in the next run.
        if (run && run->stateCount() + from.size() > CharAutomaton::kMaxStates) closeRun();
        if (!run) {
            m_stages.push_back({-1, std::make_unique<Run>(m_originals, m_replacements)});
            run = m_stages.back().run.get();
            // About one state per character of the words of this run.
            size_t bytes = 0;
            for (size_t k = i; k < count && ordinary(k); ++k)
                bytes += m_originals[k].size();
            run->reserve(bytes / 2 + 1);
        }
        run->add(static_cast<int>(i));
    }
    closeRun();
}

std::string SynonymReplacer::apply(const std::string& text) const {
    if (text.empty()) return {};
    std::string cur = text;
    for (const auto& stage : m_stages) {
        if (stage.run) {
            cur = stage.run->apply(cur, nullptr);
        } else {
            const auto p = static_cast<size_t>(stage.directPair);
            textutil::replaceInPlace(cur, m_originals[p], m_replacements[p]);
        }
    }
    return cur;
}

std::string SynonymReplacer::apply(const std::string& text, const std::vector<TextSpan>& keep,
                                   ReplaceTrace& trace, bool withMarks) const {
    trace = {};
    if (text.empty()) return {};
    Pass pass;
    // Stretches out of order or out of the text are left out.
    for (const TextSpan& span : keep)
        if (span.begin < span.end && span.end <= text.size() &&
            (pass.keep.empty() || span.begin >= pass.keep.back().end))
            pass.keep.push_back(span);
    pass.withMarks = withMarks;
    if (withMarks) pass.marks.assign(text.size(), 0);
    std::string cur = text;
    std::vector<size_t> sites;
    for (const auto& stage : m_stages) {
        if (stage.run) {
            cur = stage.run->apply(cur, &pass);
            continue;
        }
        // A pair applied on its own: ReplaceAll on the pieces between the
        // kept stretches.
        const auto p = static_cast<size_t>(stage.directPair);
        std::string next, nextMarks;
        std::vector<TextSpan> kept;
        std::string* const om = withMarks ? &nextMarks : nullptr;
        size_t copied = 0;
        auto piece = [&](size_t end) {
            const std::string_view part = std::string_view(cur).substr(copied, end - copied);
            const std::string_view marks =
                withMarks ? std::string_view(pass.marks).substr(copied, end - copied)
                          : std::string_view();
            pass.replacements +=
                replacePiece(part, marks, m_originals[p], m_replacements[p], next, om, sites);
        };
        for (const TextSpan& span : pass.keep) {
            piece(span.begin);
            kept.push_back({next.size(), next.size() + (span.end - span.begin)});
            next.append(cur, span.begin, span.end - span.begin);
            if (om) om->append(pass.marks, span.begin, span.end - span.begin);
            copied = span.end;
        }
        piece(cur.size());
        cur.swap(next);
        pass.keep.swap(kept);
        if (withMarks) pass.marks.swap(nextMarks);
    }
    trace.replacements = pass.replacements;
    if (withMarks) trace.marks = std::move(pass.marks);
    return cur;
}

bool SynonymReplacer::builtFrom(const StringList& originals, const StringList& replacements) const {
    return m_originals == originals && m_replacements == replacements;
}
