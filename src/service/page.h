#pragma once
// The browser page at "/": plain HTML, CSS and a little JavaScript, compiled
// in from the files of page/ (see CMakeLists.txt).
namespace service::page {
extern const char* const k_index_html;
extern const char* const k_page_css;
extern const char* const k_page_js;
} // namespace service::page
