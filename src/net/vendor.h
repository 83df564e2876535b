#pragma once
// Addresses of the vendor server. The base address is a build-time default
// that the program's --server option can replace; every address is built from
// it here and nowhere else.
#include <string>

namespace vendor {

const std::string& baseAddress();
void setBaseAddress(std::string base); // a trailing "/" is removed

// Paths after the base address.
inline constexpr const char* kLogin = "/login_client.asp";
inline constexpr const char* kLoadTyc = "/loadtyc.asp";
inline constexpr const char* kKeywordsPoint = "/keywords_point.asp";
inline constexpr const char* kSendKeywords = "/sendkeywords.asp";
inline constexpr const char* kPostTest = "/post_test.asp";
inline constexpr const char* kGetTestPattern = "/get_test.asp?id=(*)";
inline constexpr const char* kHelpPage = "/tychelp.html?V2.0";
inline constexpr const char* kBanner = "/softad/tyc.html?qun2.0_test";
inline constexpr const char* kRegister = "/register.asp?tyc2.0";
inline constexpr const char* kFindPassword = "/findpwd.asp?tyc2.0";

// Base address + path.
std::string address(const char* path);
// The vendor's web address that ends the failure texts of server requests.
inline const std::string& webAddress() {
    return baseAddress();
}

} // namespace vendor
