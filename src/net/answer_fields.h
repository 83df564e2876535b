#pragma once
// Cutting the answers of the vendor server into their fields. A plain byte
// search would also cut inside a double-byte GBK character whose second byte
// happens to be the separator ("億" is 83 7C, its second byte is "|"), so the
// GBK answers are cut character by character, and the page answer is cut
// while it is still UTF-16, before it becomes GBK.
#include <string>
#include <string_view>
#include <vector>

#include "engine/stringlist.h"

namespace answers {

// Fields of a GBK text separated by `sep` (an ASCII byte); the text without
// the separator is one field. A separator byte that is the second byte of a
// double-byte character does not cut.
StringList splitGbk(std::string_view text, char sep);

// A UTF-16 text cut at every `separator` (not empty). As SplitString: the
// empty text gives no entry, otherwise there is one entry more than separators.
std::vector<std::u16string_view> splitUtf16(std::u16string_view text,
                                            std::u16string_view separator);

} // namespace answers
