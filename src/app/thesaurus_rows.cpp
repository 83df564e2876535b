#include "app/thesaurus_rows.h"

#include "protocol/codepage.h"
#include "thesaurus/keyword_store.h"

namespace rows {

const std::string& usedText(bool isused) {
    static const std::string yes = cp::G("是");
    static const std::string no = cp::G("否");
    return isused ? yes : no;
}

ListItem rowOf(const KeywordRecord& record) {
    return {record.id, {record.ow, record.nw, usedText(record.isused)}, false};
}

const std::string& subItem(const ListItem& item, int sub) {
    static const std::string empty;
    if (sub < 0 || static_cast<size_t>(sub) >= item.subItems.size()) return empty;
    return item.subItems[static_cast<size_t>(sub)];
}

int rowOfId(const TListView& view, int hint, const std::string& id) {
    if (hint >= 0 && hint < view.count() && view.item(hint).caption == id) return hint;
    const auto& items = view.items();
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].caption == id) return static_cast<int>(i);
    return -1;
}

int loadPosition(const TListView& view, const std::string& id) {
    const auto key = KeywordStore::parseId(id);
    int row = view.count();
    if (!key) return row;
    while (row > 0) {
        const auto shown = KeywordStore::parseId(view.item(row - 1).caption);
        if (!shown || *shown < *key) break;
        if (*shown == *key) return -1;
        --row;
    }
    return row;
}

bool containsGbk(std::string_view hay, std::string_view needle) {
    if (needle.empty()) return false;
    size_t pos = hay.find(needle);
    if (pos == std::string_view::npos) return false;
    // Walk the characters from the start; a byte-wise hit that begins on a
    // trail byte is a false match, so look for the next one on a boundary.
    const auto* t = reinterpret_cast<const unsigned char*>(hay.data());
    size_t i = 0;
    while (pos != std::string_view::npos) {
        while (i < pos)
            i += cp::charLength(t, i, hay.size());
        if (i == pos) return true;
        pos = hay.find(needle, i);
    }
    return false;
}

} // namespace rows
