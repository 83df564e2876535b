#pragma once
// The text cipher as the program and the vendor server use it: GBK text in and
// out, the fixed key text and 128-bit keys. The hexadecimal cipher text is ASCII.
#include <string>
#include <string_view>

class TAes;

namespace cipher {

// The key text every caller passes: "星河里QRS的灯火" (9 UTF-16 code units).
const std::u16string& keyText();
inline constexpr int kKeyBits = 128;

// GBK -> UTF-16 -> EncryptText. Throws std::length_error beyond 65535 code units.
std::string encryptGbk(TAes& aes, std::string_view gbk);
// DecryptText -> GBK (a character GBK cannot hold becomes "?"). Throws
// CipherConversionError on a non-hexadecimal digit.
std::string decryptToGbk(TAes& aes, std::string_view hex);

// The same with a cipher object of their own, for callers on other threads.
std::string encryptGbk(std::string_view gbk);
std::string decryptToGbk(std::string_view hex);

} // namespace cipher
