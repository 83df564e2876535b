#include "net/failure_reason.h"

#include <curl/curl.h>

#include "protocol/codepage.h"

namespace net {

namespace {

const char* curlReason(int code) {
    switch (static_cast<CURLcode>(code)) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return "找不到服务器（域名无法解析）";
    case CURLE_COULDNT_CONNECT:
        return "无法连接服务器";
    case CURLE_OPERATION_TIMEDOUT:
        return "等待服务器超时";
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
        return "安全连接（HTTPS）失败";
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
        return "连接中断";
    case CURLE_TOO_MANY_REDIRECTS:
        return "跳转次数过多";
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
        return "网址无效";
    case CURLE_FILESIZE_EXCEEDED:
        return "服务器回答超过大小上限";
    default:
        return "网络错误";
    }
}

} // namespace

std::string failureReason(Failure kind, int curlCode) {
    switch (kind) {
    case Failure::None:
        return {};
    case Failure::Curl:
        return cp::G(curlReason(curlCode));
    case Failure::Empty:
        return cp::G("服务器回答为空");
    case Failure::TooLarge:
        return cp::G("服务器回答超过大小上限");
    case Failure::Cancelled:
        return cp::G("已取消");
    case Failure::NoAddress:
        return cp::G("网址无效");
    case Failure::NotStarted:
        return cp::G("无法开始传输");
    }
    return {};
}

std::string withReason(const std::string& what, const std::string& reason) {
    return reason.empty() ? what : what + cp::G("：") + reason;
}

} // namespace net
