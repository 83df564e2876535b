#pragma once
// The list memos of the batch page as a run marks them: mmo1 (the files of a
// folder run) and mmo2 (the download list).
#include <string>

#include "app/controls.h"

namespace batch {

// Appends `marker` to line `index` of the memo (lines cut as the memo's lines
// are). A line that no longer exists is left alone.
inline void markLine(TMemo& memo, int index, const std::string& marker) {
    memo.appendToLine(index, marker);
}
// Line `index` of the memo into `line`; false when the memo has fewer lines.
inline bool lineOf(const TMemo& memo, int index, std::string& line) {
    return memo.line(index, line);
}

} // namespace batch
