// The vendor server's answers and the text cipher, on any bytes:
// - cutting an answer at "|" loses nothing (the fields joined again are the
//   answer), and never cuts inside a double-byte character;
// - login, points and share answers are read or refused, and what is read
//   comes from the answer's own fields;
// - a page of the shared thesaurus is read or refused, its rows' fields free
//   of the separators;
// - decode(encode(x)) == x for every text the cipher's UTF-16 form holds, and
//   any text as cipher text decodes or is refused with CipherConversionError.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "net/answer_fields.h"
#include "net/shared_page.h"
#include "net/vendor_protocol.h"
#include "protocol/UnitAES.h"
#include "protocol/cipher_gbk.h"
#include "protocol/codepage.h"

namespace {

std::string joined(const StringList& fields, char sep) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i)
        out += (i ? std::string(1, sep) : std::string()) + fields[i];
    return out;
}

void vendorAnswers(const std::string& text) {
    const StringList fields = answers::splitGbk(text, '|');
    FUZZ_CHECK(!fields.empty());
    FUZZ_CHECK(joined(fields, '|') == text);
    // Every cut is a "|" at a character boundary (a lead byte takes the next
    // byte with it): each field but the last is followed by one.
    std::vector<bool> boundary(text.size() + 1, false);
    const auto* t = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t p = 0; p < text.size();
         p += cp::isGbkLead(t[p]) && p + 1 < text.size() ? 2 : 1)
        boundary[p] = true;
    std::size_t at = 0;
    for (std::size_t i = 0; i + 1 < fields.size(); ++i) {
        at += fields[i].size();
        FUZZ_CHECK(boundary[at] && text[at] == '|');
        ++at;
    }
    std::size_t cuts = 0;
    for (std::size_t p = 0; p < text.size(); ++p)
        cuts += boundary[p] && text[p] == '|';
    FUZZ_CHECK(cuts + 1 == fields.size());
    if (const auto login = vendor::readLoginAnswer(text)) {
        FUZZ_CHECK(fields.size() >= 3 && login->userId == fields[1] && !login->userId.empty());
        FUZZ_CHECK(login->points == fields[2]);
    }
    if (const auto points = vendor::readPointsAnswer(text))
        FUZZ_CHECK(fields.size() == 3 && points->balance == fields[1]);
    if (const auto balance = vendor::readShareBalance(text)) {
        FUZZ_CHECK(!balance->empty());
        for (char c : *balance)
            FUZZ_CHECK(c >= '0' && c <= '9');
    }
}

void page(const std::string& text) {
    const std::u16string plain = cp::gbkToUtf16(text);
    const auto parts = answers::splitUtf16(plain, u"[@br@]");
    std::u16string back;
    for (std::size_t i = 0; i < parts.size(); ++i)
        back += (i ? std::u16string(u"[@br@]") : std::u16string()) + std::u16string(parts[i]);
    FUZZ_CHECK(back == plain);
    FUZZ_CHECK(parts.empty() == plain.empty());
    if (const auto p = sharedpage::parse(plain)) {
        FUZZ_CHECK(parts.size() >= 2);
        for (const auto& row : p->rows)
            for (const std::string* f : {&row.netId, &row.ow, &row.nw, &row.sharer}) {
                const std::u16string wide = cp::gbkToUtf16(*f);
                FUZZ_CHECK(wide.find(u"[@m@]") == std::u16string::npos);
                FUZZ_CHECK(wide.find(u"[@br@]") == std::u16string::npos);
            }
    }
}

void cipherText(const std::string& text) {
    // Any text as cipher text: deciphered, or refused with its own error.
    try {
        cipher::decryptToGbk(text);
    } catch (const CipherConversionError&) {
    }
    // What the cipher's UTF-16 form holds comes back exactly.
    if (cp::utf16ToGbk(cp::gbkToUtf16(text)) != text) return;
    if (cp::gbkToUtf16(text).size() > 65535) return;
    const std::string hex = cipher::encryptGbk(text);
    for (char c : hex)
        FUZZ_CHECK((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'));
    FUZZ_CHECK(cipher::decryptToGbk(hex) == text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    vendorAnswers(text);
    page(text);
    cipherText(text);
    return 0;
}
