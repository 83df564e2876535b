#pragma once
// The errors of the rewrite interface: each has an HTTP status, a stable code
// for programs, and a message in Chinese and in English for people.
#include <string>

namespace service {

enum class ApiError {
    MissingContent,   // 400
    BadField,         // 400: a field's value cannot be read
    BadBody,          // 400: the body is not the JSON or form it claims to be
    BadToken,         // 401
    NotFound,         // 404
    MethodNotAllowed, // 405
    TooLarge,         // 413
    UnsupportedType,  // 415
    Busy,             // 503: the work queue is full, or the service is stopping
    Internal,         // 500
};

int statusOf(ApiError error);

// {"error": CODE, "status": N, "message": CHINESE, "message_en": ENGLISH}
// in UTF-8; `detail` (UTF-8, e.g. the field's name) completes both messages.
std::string errorJson(ApiError error, const std::string& detail = {});

// An error with what went wrong, for the request decoders.
struct RequestError {
    ApiError error;
    std::string detail;
};

} // namespace service
