#pragma once
// Reading what the desktop program and browsers send: raw queries, form
// bodies, the login key digest, and bytes that may be GBK or UTF-8.
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wycserver {

// The query of a request target exactly as sent: after the first "?", before any "#".
std::string_view rawQuery(std::string_view target);

// %XX becomes the byte; a "%" without two hexadecimal digits stays as it is.
std::string percentDecode(std::string_view text, bool plusAsSpace);
// Decodes only the escapes of blanks, control bytes and "#", the bytes a client
// must escape to put a text into a request line unchanged otherwise.
std::string decodeRequestLineEscapes(std::string_view text);

using FormFields = std::vector<std::pair<std::string, std::string>>;
// "a=1&b=2" with %XX and "+" decoded to bytes; no character set is assumed.
FormFields parseForm(std::string_view body);

// The same decoding for a body that arrives in pieces, keeping only what is
// asked for, so that memory follows the fields kept and not the body's size.
class FormStream {
  public:
    // wanted: field name -> largest decoded value kept. Other fields are
    // dropped; an empty map keeps every field whole. A field named twice keeps
    // its first value.
    explicit FormStream(std::map<std::string, std::size_t, std::less<>> wanted = {});
    void feed(std::string_view bytes);
    // Ends the body; returns the fields in the order they came.
    FormFields finish();
    // The first wanted field that was larger than allowed.
    const std::optional<std::string>& tooLarge() const { return m_tooLarge; }

  private:
    void put(char c);
    void endName();
    void endPair();

    std::map<std::string, std::size_t, std::less<>> m_wanted;
    FormFields m_fields;
    std::string m_name;
    bool m_inValue = false;
    bool m_keep = false; // the value being read is kept
    std::size_t m_limit = 0;
    std::string m_escape; // "%" and at most one hex digit, awaiting the rest
    bool m_pairHasBytes = false;
    std::optional<std::string> m_tooLarge;
};
// The first value of the field, if present.
std::optional<std::string> formValue(const FormFields& fields, std::string_view name);

// The login query: "qzvemail=" A "&qzvpassword=" P "&key=" K with A and P
// unencoded, so either may hold "&". A ends at the first "&qzvpassword=", K
// starts after the last "&key=".
struct LoginQuery {
    std::string account;
    std::string password;
    std::string key;
};
std::optional<LoginQuery> parseLoginQuery(std::string_view raw);
// MD5Hex(account + MD5Hex(password) + salt), over the bytes as given.
std::string loginKey(std::string_view account, std::string_view password);
// Compares the query's key with the digest, ignoring the case of its digits.
bool loginKeyMatches(const LoginQuery& q);

// UTF-8 readings of bytes that should be GBK: the GBK reading first, then the
// bytes themselves when they are valid UTF-8 and read differently.
std::vector<std::string> utf8Readings(std::string_view bytes);
// One reading for display: valid UTF-8 as it is, anything else as GBK.
std::string displayText(std::string_view bytes);

std::string htmlEscape(std::string_view text);
// At most maxBytes of a UTF-8 text, cut at a character boundary, "…" appended when cut.
std::string shortenUtf8(std::string_view text, std::size_t maxBytes);
// A text safe inside a "|"-separated answer line: "|" becomes "｜", control
// characters become blanks, and a character whose GBK form holds the byte of
// "|" becomes "?" (the program splits answers after converting them to GBK).
std::string answerField(std::string_view text);

} // namespace wycserver
