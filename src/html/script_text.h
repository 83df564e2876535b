#pragma once
// Pages that build their article with a script carry it in the script: as a
// string of JSON (the page's state) or as a template of markup. This finds
// the longest such text so that the article reader can read it when the
// page's own markup holds none.
#include <string>

#include "html/document.h"

namespace html {

// The longest string in the page's scripts that holds at least `minWords`
// Chinese characters, letters and digits, with its escapes decoded, as markup
// in the page's working encoding (UTF-8 when `utf8`, else GB18030); a string
// of plain text comes back with its lines as paragraphs. Empty when none.
std::string articleInScripts(const Document& doc, bool utf8, size_t minWords);

} // namespace html
