#include "batch/items.h"

#include "engine/textutil.h"
#include "protocol/codepage.h"

namespace batch {

namespace {

// Longest prefix of the GBK text whose file-system form (the bytes the name
// has on disk, see cp::gbkToFs) fits `budget` bytes, cut at a character
// boundary.
std::string fitting(std::string_view gbk, size_t budget) {
    size_t used = 0, i = 0;
    while (i < gbk.size()) {
        const size_t width =
            cp::isGbkLead(static_cast<unsigned char>(gbk[i])) && i + 1 < gbk.size() ? 2 : 1;
        // A four-byte character is taken as two halves; cutting between them
        // would leave half a character, so both go together.
        size_t take = width;
        if (width == 2 && i + 3 < gbk.size() && static_cast<unsigned char>(gbk[i + 1]) >= 0x30 &&
            static_cast<unsigned char>(gbk[i + 1]) <= 0x39)
            take = 4;
        const size_t cost = cp::gbkToFs(gbk.substr(i, take)).size();
        if (used + cost > budget) break;
        used += cost;
        i += take;
    }
    return std::string(gbk.substr(0, i));
}

// Where the last character of the GBK text starts.
size_t lastCharacterStart(std::string_view gbk) {
    const auto* t = reinterpret_cast<const unsigned char*>(gbk.data());
    size_t last = 0;
    for (size_t i = 0; i < gbk.size(); i += cp::charLength(t, i, gbk.size()))
        last = i;
    return last;
}

} // namespace

const std::string& doneMarker() {
    static const std::string m = cp::G("[完毕]");
    return m;
}

const std::string& emptyMarker() {
    static const std::string m = cp::G("[空内容]");
    return m;
}

std::string withoutMarkers(std::string_view line) {
    for (bool cut = true; cut;) {
        cut = false;
        for (const std::string* marker : {&doneMarker(), &emptyMarker()}) {
            if (line.size() >= marker->size() &&
                line.substr(line.size() - marker->size()) == *marker) {
                line.remove_suffix(marker->size());
                cut = true;
            }
        }
    }
    return std::string(line);
}

std::string resultText(std::string_view rewritten) {
    if (auto nul = rewritten.find('\0'); nul != std::string_view::npos)
        rewritten = rewritten.substr(0, nul);
    return textOf(linesOf(rewritten));
}

std::string joinPath(std::string_view dir, std::string_view name) {
    std::string path(dir);
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
    return path;
}

std::string outputName(std::string_view line, int index, std::string_view extension) {
    // Only whole characters are replaced: "|" can be the second byte of a
    // GBK character, which stays as it is.
    std::string stem(line);
    for (size_t i = 0; i < stem.size(); ++i) {
        char& c = stem[i];
        if (cp::isGbkLead(static_cast<unsigned char>(c)))
            ++i;
        else if (c == '|')
            c = '_';
    }
    // The others, and NUL (which would end the name early), are bytes below
    // 0x40, which no character holds as its second byte: they go wherever
    // they stand, also after a broken lead byte, so no "/" stays in the name.
    for (char& c : stem)
        if (c == ':' || c == '/' || c == '*' || c == '?' || c == '<' || c == '>' || c == '\0')
            c = '_';
    const std::string end = "_" + std::to_string(index) + std::string(extension);
    constexpr size_t kNameMax = 255;
    if (cp::gbkToFs(stem).size() + end.size() > kNameMax) {
        stem = fitting(stem, kNameMax - end.size());
        // Broken bytes may convert differently in one piece than character
        // by character: the whole name decides, a character less at a time.
        while (!stem.empty() && cp::gbkToFs(stem).size() + end.size() > kNameMax)
            stem.resize(lastCharacterStart(stem));
    }
    return stem + end;
}

std::string itemId(int idMode, const std::string& lineOrName, int index) {
    if (idMode == 1) return std::to_string(index);
    return lineOrName;
}

std::string postBody(const std::string& id, const std::string& text) {
    return "id=" + UrlEncode(id, true) + "&content=" + UrlEncode(text, true);
}

} // namespace batch
