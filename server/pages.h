#pragma once
// The server's HTML pages (UTF-8) and the sample articles of the batch test
// address. Callers pass texts that are already HTML-escaped where marked.
#include <string>
#include <string_view>
#include <vector>

namespace wycserver {

struct StoredPost;

namespace pages {

// A complete page around the given body HTML.
std::string layout(std::string_view title, std::string_view bodyHtml);
std::string index();
std::string help();
std::string banner();
// noticeHtml: an escaped message shown above the form (may be empty).
std::string registerForm(std::string_view noticeHtml = {});
std::string findPasswordForm(std::string_view noticeHtml = {});
std::string notice(std::string_view escapedText, bool good);
std::string posts(const std::vector<StoredPost>& latest);

// A plain-text Chinese article for get_test.asp?id=..., different per id and
// the same every time for the same id.
std::string sampleArticle(std::string_view idText);

} // namespace pages
} // namespace wycserver
