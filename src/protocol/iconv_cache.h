#pragma once
// Opening an iconv converter is costly next to converting a word, so each
// thread keeps its converters open, one per pair of encodings; a converter is
// reset to its initial state before it is handed out.
#include <iconv.h>

namespace cp {

// Throws std::runtime_error when iconv knows no such conversion.
iconv_t iconvFor(const char* to, const char* from);

} // namespace cp
