// The rewrite pipeline on any text, pairs and protected words:
// - the fast replacement gives exactly what one ReplaceAll per pair gives;
// - replacement never changes a protected stretch: each comes out whole, in
//   order, and the replaced words' marks lie inside the result;
// - the shuffle keeps every byte of the text except the spaces and breaks it
//   may strip (and the "[@]" it cuts at), adds the keyword and a closing
//   "。", and never cuts a protected word.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/pipeline.h"
#include "engine/synonyms.h"
#include "engine/textutil.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr std::size_t kMaxText = 4096; // the reference takes a pass per pair
constexpr std::size_t kMaxPairs = 64;
// Pairs applied one after the other can grow a text exponentially (ten
// one-character words, each replaced by a dozen of the next, make 14 MB of 26
// bytes); inputs whose replacement passes this size at any step are left out.
constexpr std::size_t kMaxGrown = 1 << 20;
constexpr std::string_view kFullStop = "\xA1\xA3"; // 。
constexpr char kKeyword = '\x7F';

StringList lines(const std::string& field, std::size_t max) {
    StringList out = linesOf(field);
    if (out.size() > max) out.resize(max);
    return out;
}

// One ReplaceAll per pair, as the reference does; none when a step passes
// kMaxGrown.
std::optional<std::string> cappedReference(const std::string& text, const StringList& originals,
                                           const StringList& replacements) {
    std::string t = text;
    for (std::size_t i = 0; i < originals.size() && !t.empty(); ++i) {
        t = ReplaceAll(t, originals[i], replacements[i]);
        if (t.size() > kMaxGrown) return std::nullopt;
    }
    return t;
}

// Each stretch of `source` comes out in `result`, in order.
void survives(const std::string& source, const std::vector<TextSpan>& stretches,
              const std::string& result, bool inOrder) {
    std::size_t from = 0;
    for (const TextSpan& s : stretches) {
        FUZZ_CHECK(s.begin < s.end && s.end <= source.size());
        const std::string word = source.substr(s.begin, s.end - s.begin);
        const std::size_t at = result.find(word, inOrder ? from : 0);
        FUZZ_CHECK(at != std::string::npos);
        from = at + word.size();
    }
}

// A byte the shuffle may drop: blanks, controls and breaks it strips or
// rewrites, the ideographic space's byte, and the bytes of its marker.
bool mayVanish(unsigned char b) {
    return b <= 0x20 || b == 0xA1 || b == '[' || b == '@' || b == ']';
}

void keepsBytes(const std::string& text, std::string out, bool keyword) {
    if (out.empty()) return;
    FUZZ_CHECK(out.size() >= 2 && std::string_view(out).substr(out.size() - 2) == kFullStop);
    out.resize(out.size() - 2);
    std::array<long, 256> count{};
    for (unsigned char b : text)
        ++count[b];
    for (unsigned char b : out)
        --count[b];
    for (int b = 0; b < 256; ++b) {
        if (mayVanish(static_cast<unsigned char>(b))) continue;
        if (keyword && b == kKeyword)
            FUZZ_CHECK(count[b] <= 0);
        else
            FUZZ_CHECK(count[b] == 0);
    }
}

// No blank, break or marker byte: the shuffle's strips cannot touch it.
bool shuffleSafe(const std::string& word) {
    for (unsigned char b : word)
        if (mayVanish(b)) return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t choices = in.byte();
    const std::uint64_t seed = in.byte();
    std::string text = in.field();
    if (text.size() > kMaxText) text.resize(kMaxText);
    StringList originals, replacements;
    for (const std::string& line : lines(in.field(), kMaxPairs)) {
        const std::size_t tab = line.find('\t');
        originals.push_back(line.substr(0, tab));
        replacements.push_back(tab == std::string::npos ? std::string() : line.substr(tab + 1));
    }
    const StringList protectedWords = lines(in.rest(), 8);

    const std::optional<std::string> reference = cappedReference(text, originals, replacements);
    if (!reference) return 0;
    SynonymReplacer replacer;
    replacer.build(originals, replacements);
    FUZZ_CHECK(replacer.apply(text) == *reference);

    const auto thesaurus = engine::Thesaurus::make(originals, replacements, protectedWords);
    engine::RewriteSettings settings;
    settings.shuffle = false;
    const engine::Pipeline replacing(settings, thesaurus);
    engine::RewriteState state(seed);
    const engine::RewriteResult replaced = replacing.rewrite(text, state, {true, false});
    const std::vector<TextSpan> stretches = thesaurus->guard().find(text);
    survives(text, stretches, replaced.text, true);
    if (stretches.empty() && protectedWords.empty()) FUZZ_CHECK(replaced.text == *reference);
    std::size_t last = 0;
    for (const TextSpan& m : replaced.marks) {
        FUZZ_CHECK(m.begin >= last && m.begin < m.end && m.end <= replaced.text.size());
        last = m.end;
    }

    settings.shuffle = true;
    settings.shuffleSettings.stripSpaces = choices & 1;
    settings.shuffleSettings.stripBreaks = choices & 2;
    const bool keyword = choices & 4;
    if (keyword) settings.shuffleSettings.keyword = std::string(1, kKeyword);
    settings.shuffleSettings.frequency = 2 + (choices >> 3) % 29;
    const engine::Pipeline shuffling(settings, thesaurus);
    engine::RewriteState shuffleState(seed);
    const std::string shuffled = shuffling.finish(replaced.text, shuffleState);
    keepsBytes(replaced.text, shuffled, keyword);
    std::vector<TextSpan> uncut;
    for (const TextSpan& s : thesaurus->guard().find(replaced.text))
        if (shuffleSafe(replaced.text.substr(s.begin, s.end - s.begin))) uncut.push_back(s);
    survives(replaced.text, uncut, shuffled, false);
    return 0;
}
