#include "service/api_error.h"

#include "service/json_text.h"

namespace service {

namespace {

struct ErrorText {
    int status;
    const char* code;
    const char* chinese;
    const char* english;
};

ErrorText textOf(ApiError error) {
    switch (error) {
    case ApiError::MissingContent:
        return {400, "missing_content", "缺少文章内容（content 字段）",
                "the article is missing (field content)"};
    case ApiError::BadField:
        return {400, "bad_field", "参数取值不正确", "a field has a value that cannot be used"};
    case ApiError::BadBody:
        return {400, "bad_body", "请求内容格式不正确", "the request body cannot be read"};
    case ApiError::BadToken:
        return {401, "bad_token", "缺少访问令牌或令牌不正确",
                "a valid token is required (Authorization: Bearer ... or field token)"};
    case ApiError::NotFound:
        return {404, "not_found", "接口不存在", "no such address"};
    case ApiError::MethodNotAllowed:
        return {405, "method_not_allowed", "不支持这种请求方式",
                "this address does not take this method"};
    case ApiError::TooLarge:
        return {413, "too_large", "提交的内容太大，最多 4 MB",
                "the request body is larger than allowed (4 MB)"};
    case ApiError::UnsupportedType:
        return {415, "unsupported_type",
                "请用 application/x-www-form-urlencoded、multipart/form-data、"
                "application/json 或 text/plain 提交",
                "send application/x-www-form-urlencoded, multipart/form-data, "
                "application/json or text/plain"};
    case ApiError::Busy:
        return {503, "busy", "服务繁忙，请稍后再试", "the service is busy, try again shortly"};
    case ApiError::Internal:
        break;
    }
    return {500, "internal", "服务内部错误", "internal error"};
}

} // namespace

int statusOf(ApiError error) {
    return textOf(error).status;
}

std::string errorJson(ApiError error, const std::string& detail) {
    const ErrorText t = textOf(error);
    const std::string suffix = detail.empty() ? std::string() : ": " + detail;
    std::string out = "{\"error\":\"";
    out += t.code;
    out += "\",\"status\":" + std::to_string(t.status) + ",\"message\":";
    appendJsonString(out, t.chinese + (detail.empty() ? std::string() : "：" + detail));
    out += ",\"message_en\":";
    appendJsonString(out, t.english + suffix);
    out += "}\n";
    return out;
}

} // namespace service
