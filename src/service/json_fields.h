#pragma once
// A JSON request body as fields. The body is one object; each member gives a
// field: a string its text (UTF-8), a number its digits as written (so a seed
// up to 2^64-1 keeps every digit), true and false their names, null nothing,
// and an array one field per element (for the protected words). Objects
// inside it and arrays in arrays are refused, as is anything that is not
// well-formed UTF-8 JSON; nothing here recurses, whatever the input.
#include <optional>
#include <string_view>

#include "service/api_error.h"
#include "service/rewrite_request.h"

namespace service {

std::optional<RequestError> appendJsonFields(std::string_view json, Fields& out);

} // namespace service
