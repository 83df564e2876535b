// The pair-list import and the thesaurus check on any file:
// - every pair read is storable, its line numbers rise, and a line is either
//   a pair, malformed, or blank;
// - the pairs read, exported and read again are the same pairs (what an
//   export writes, an import takes back whole);
// - the starter list's reader takes only pairs with two words;
// - the check's findings name pairs that exist, in order, and each finding's
//   kind holds of its pairs; duplicates and no-ops are exactly those a plain
//   comparison finds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "engine/thesaurus_check.h"
#include "fuzz/fuzz_support.h"
#include "protocol/codepage.h"
#include "thesaurus/pair_list_file.h"
#include "thesaurus/tab_pairs.h"

namespace {

// More pairs only slow the check's quadratic sanity checks below down.
constexpr std::size_t kMaxCheckedPairs = 48;

void readBack(const pairfile::Parsed& parsed) {
    std::string exported;
    std::vector<pairfile::Pair> exportable;
    for (const auto& p : parsed.pairs) {
        FUZZ_CHECK(pairfile::isStorableWord(p.ow) && pairfile::isStorableWord(p.nw));
        if (!pairfile::wordProblem(p.ow, "original").empty() ||
            !pairfile::wordProblem(p.nw, "new").empty())
            continue;
        exportable.push_back(p);
        exported += pairfile::formatLine(p.ow, p.nw, cp::G(p.isused ? "是" : "否"));
    }
    const pairfile::Parsed again = pairfile::parse(exported, pairfile::Encoding::Gbk);
    FUZZ_CHECK(again.malformed.empty());
    FUZZ_CHECK(again.pairs.size() == exportable.size());
    for (std::size_t i = 0; i < exportable.size(); ++i) {
        FUZZ_CHECK(again.pairs[i].ow == exportable[i].ow);
        FUZZ_CHECK(again.pairs[i].nw == exportable[i].nw);
        FUZZ_CHECK(again.pairs[i].isused == exportable[i].isused);
        FUZZ_CHECK(again.pairs[i].line == static_cast<int>(i) + 1);
    }
}

void lineNumbers(const pairfile::Parsed& parsed) {
    std::set<int> seen;
    int last = 0;
    for (const auto& p : parsed.pairs) {
        FUZZ_CHECK(p.line > last);
        last = p.line;
        seen.insert(p.line);
    }
    for (const auto& r : parsed.malformed) {
        FUZZ_CHECK(r.line >= 1 && !seen.count(r.line));
        FUZZ_CHECK(!r.reason.empty());
    }
}

// `needle` at a character boundary of `hay`, as replacement matches.
bool occursIn(const std::string& needle, const std::string& hay) {
    if (needle.empty()) return false;
    const auto* t = reinterpret_cast<const unsigned char*>(hay.data());
    for (std::size_t i = 0; i < hay.size(); i += cp::charLength(t, i, hay.size()))
        if (hay.compare(i, needle.size(), needle) == 0) return true;
    return false;
}

void check(const pairfile::Parsed& parsed) {
    StringList o, n;
    for (const auto& p : parsed.pairs) {
        if (o.size() == kMaxCheckedPairs) break;
        if (!p.isused) continue;
        o.push_back(p.ow);
        n.push_back(p.nw);
    }
    const auto findings = engine::checkThesaurus(o, n);
    std::set<std::size_t> noOps, duplicated;
    for (const auto& f : findings) {
        FUZZ_CHECK(!f.pairs.empty());
        FUZZ_CHECK(std::is_sorted(f.pairs.begin(), f.pairs.end()));
        FUZZ_CHECK(f.pairs.back() < o.size());
        const std::size_t i = f.pairs.front(), j = f.pairs.back();
        switch (f.kind) {
        case engine::FindingKind::NoOp:
            FUZZ_CHECK(f.pairs.size() == 1 && o[i] == n[i]);
            noOps.insert(i);
            break;
        case engine::FindingKind::Duplicate:
            FUZZ_CHECK(f.pairs.size() >= 2);
            for (std::size_t k : f.pairs) {
                FUZZ_CHECK(o[k] == o[i]);
                duplicated.insert(k);
            }
            break;
        case engine::FindingKind::Chain:
        case engine::FindingKind::Undone:
            FUZZ_CHECK(f.pairs.size() == 2 && i < j && occursIn(o[j], n[i]));
            break;
        case engine::FindingKind::Shadowed:
            FUZZ_CHECK(f.pairs.size() == 2 && i < j && o[i] != o[j] && occursIn(o[i], o[j]));
            break;
        case engine::FindingKind::InsideWord:
            FUZZ_CHECK(false); // no word list given
        }
    }
    for (std::size_t i = 0; i < o.size(); ++i) {
        FUZZ_CHECK(noOps.count(i) == (o[i] == n[i] ? 1u : 0u));
        const bool repeated = std::count(o.begin(), o.end(), o[i]) > 1;
        FUZZ_CHECK(duplicated.count(i) == (repeated ? 1u : 0u));
    }
}

void starterList(const std::string& bytes) {
    const tabpairs::Parsed t = tabpairs::parse(bytes);
    FUZZ_CHECK(t.originals.size() == t.replacements.size());
    FUZZ_CHECK(t.lines.size() == t.originals.size());
    for (std::size_t i = 0; i < t.originals.size(); ++i)
        FUZZ_CHECK(!t.originals[i].empty() && !t.replacements[i].empty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t how = in.byte();
    std::optional<pairfile::Encoding> given;
    if (how % 3 == 1) given = pairfile::Encoding::Gbk;
    if (how % 3 == 2) given = pairfile::Encoding::Utf8;
    const std::string bytes = in.rest();
    const pairfile::ListFile list = pairfile::parseList(bytes, given);
    lineNumbers(list.parsed);
    readBack(list.parsed);
    check(list.parsed);
    starterList(bytes);
    return 0;
}
