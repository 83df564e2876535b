#pragma once
// MD5 digest (RFC 1321) of a byte string, as 32 lower-case hexadecimal digits.
#include <string>
#include <string_view>

// The digest of `bytes` (GBK text is digested as its bytes), each of the 16
// digest bytes written as two digits from "0123456789abcdef", high nibble first.
std::string MD5Hex(std::string_view bytes);
