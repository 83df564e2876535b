#include "net/shared_page.h"

#include "net/answer_fields.h"
#include "protocol/codepage.h"

namespace sharedpage {

std::optional<Page> parse(std::u16string_view plain) {
    const auto entries = answers::splitUtf16(plain, u"[@br@]");
    const size_t c = entries.size();
    if (c <= 1) return std::nullopt;
    Page page;
    page.rows.reserve(c - 2);
    for (size_t i = 0; i + 2 < c; ++i) {
        const auto fields = answers::splitUtf16(entries[i], u"[@m@]");
        Row row;
        std::string* slots[] = {&row.netId, &row.ow, &row.nw, &row.sharer};
        for (size_t f = 0; f < fields.size() && f < 4; ++f)
            *slots[f] = cp::utf16ToGbk(fields[f]);
        page.rows.push_back(std::move(row));
    }
    page.currentPage = cp::utf16ToGbk(entries[c - 2]);
    page.pageCount = cp::utf16ToGbk(entries[c - 1]);
    return page;
}

} // namespace sharedpage
