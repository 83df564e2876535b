#include "protocol/cipher_gbk.h"

#include "protocol/codepage.h"
#include "protocol/UnitAES.h"

namespace cipher {

const std::u16string& keyText() {
    static const std::u16string key = u"星河里QRS的灯火";
    return key;
}

std::string encryptGbk(TAes& aes, std::string_view gbk) {
    return aes.EncryptText(cp::gbkToUtf16(gbk), keyText(), kKeyBits);
}

std::string decryptToGbk(TAes& aes, std::string_view hex) {
    return cp::utf16ToGbk(aes.DecryptText(hex, keyText(), kKeyBits));
}

std::string encryptGbk(std::string_view gbk) {
    TAes aes;
    return encryptGbk(aes, gbk);
}

std::string decryptToGbk(std::string_view hex) {
    TAes aes;
    return decryptToGbk(aes, hex);
}

} // namespace cipher
