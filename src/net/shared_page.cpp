#include "net/shared_page.h"

#include "protocol/codepage.h"
#include "net/answer_fields.h"

namespace sharedpage {

std::optional<Page> parse(std::u16string_view plain) {
    const auto entries = answers::splitUtf16(plain, u"[@br@]");
    const size_t c = entries.size();
    if (c <= 1) return std::nullopt;
    Page page;
    page.rows.reserve(c - 2);
    for (size_t i = 0; i + 2 < c; ++i) {
        const auto fields = answers::splitUtf16(entries[i], u"[@m@]");
        ListItem row;
        row.subItems.resize(3);
        if (!fields.empty()) row.caption = cp::utf16ToGbk(fields[0]);
        for (size_t f = 1; f < fields.size() && f <= 3; ++f)
            row.subItems[f - 1] = cp::utf16ToGbk(fields[f]);
        page.rows.push_back(std::move(row));
    }
    page.currentPage = cp::utf16ToGbk(entries[c - 2]);
    page.pageCount = cp::utf16ToGbk(entries[c - 1]);
    return page;
}

} // namespace sharedpage
