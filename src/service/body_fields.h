#pragma once
// The fields of a request: those of its query, then those of its body in the
// encoding its Content-Type names. Forms (urlencoded and multipart) give
// their fields; a JSON object its members (see json_fields.h); a text/plain
// body is the content itself.
#include <optional>
#include <string>
#include <string_view>

#include "service/api_error.h"
#include "service/rewrite_request.h"

namespace service {

struct ContentType {
    std::string media;    // lower case, e.g. "multipart/form-data"; empty when absent
    std::string charset;  // as given, e.g. "GBK"
    std::string boundary; // multipart only
};
ContentType parseContentType(std::string_view header);

enum class BodyKind { None, Form, Multipart, Json, Plain, Unsupported };
BodyKind bodyKindOf(const ContentType& type);

// "a=1&b=%E4%B8%AD": "+" is a blank, %XX the byte; a "%" without two
// hexadecimal digits stays as it is.
void appendFormFields(std::string_view urlencoded, Fields& out);

// Appends the body's fields. The body is taken (a plain body becomes the
// content without a copy).
std::optional<RequestError> appendBodyFields(const ContentType& type, std::string&& body,
                                             Fields& out);

} // namespace service
