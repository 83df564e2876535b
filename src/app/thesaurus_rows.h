#pragma once
// Helpers for the thesaurus rows of the management list view: caption id,
// sub-items ow, nw and "是"/"否".
#include <string>
#include <string_view>

#include "app/controls.h"

struct KeywordRecord;

namespace rows {

// "是" or "否" (GBK) for an in-use flag.
const std::string& usedText(bool isused);
// The row that shows a record.
ListItem rowOf(const KeywordRecord& record);
// Sub-item `sub` of a row, empty when the row has fewer.
const std::string& subItem(const ListItem& item, int sub);
// The index of the row whose caption is `id`: `hint` when that row has it,
// otherwise the first such row; -1 when no row has it.
int rowOfId(const TListView& view, int hint, const std::string& id);
// Where the load puts the row of record `id`: before the rows at the end of
// the list that show higher ids (pairs added while the load let events run);
// -1 when one of those rows shows `id` already.
int loadPosition(const TListView& view, const std::string& id);
// True when `needle` occurs in the GBK text `hay` starting at a character
// boundary (never inside a double-byte character). An empty needle occurs nowhere.
bool containsGbk(std::string_view hay, std::string_view needle);

} // namespace rows
