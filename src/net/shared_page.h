#pragma once
// A page of the shared thesaurus as the vendor server sends it, once
// deciphered: rows joined by "[@br@]", then the current page and the page
// count; a row is network number, original word, new word and sharer's id
// joined by "[@m@]".
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sharedpage {

struct Row {
    std::string netId; // the network number
    std::string ow, nw, sharer;
};

struct Page {
    std::vector<Row> rows;
    std::string currentPage; // GBK, as the answer gave it
    std::string pageCount;
};

// The page in a deciphered answer; nothing when the text has fewer than two
// "[@br@]" entries (it is then not a page). Fields after the fourth of a row
// are ignored, missing ones are empty. Rows arrive unchecked.
std::optional<Page> parse(std::u16string_view plain);

} // namespace sharedpage
