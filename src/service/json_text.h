#pragma once
// Writing JSON strings. The input is UTF-8; with `asciiOnly` every other
// character is written as \uXXXX (a pair of them above U+FFFF), so that the
// answer reads the same to a program that takes it for GBK.
#include <string>
#include <string_view>

namespace service {

// Appends "text" with its quotes. Bytes that are not valid UTF-8 become U+FFFD.
void appendJsonString(std::string& out, std::string_view utf8, bool asciiOnly = false);

} // namespace service
