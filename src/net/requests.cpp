#include "net/requests.h"

#include "net/vendor.h"
#include "protocol/codepage.h"

namespace net {

namespace {
constexpr RequestKind kKinds[] = {RequestKind::Login,      RequestKind::LoadTyc,
                                  RequestKind::AddWord,    RequestKind::SendKeywords,
                                  RequestKind::GetContent, RequestKind::PostSend};
} // namespace

const char* const kAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)";

const char* nameOf(RequestKind kind) {
    switch (kind) {
    case RequestKind::Login:
        return "login";
    case RequestKind::LoadTyc:
        return "loadtyc";
    case RequestKind::AddWord:
        return "addword";
    case RequestKind::SendKeywords:
        return "sendkeywords";
    case RequestKind::GetContent:
        return "getcontent";
    case RequestKind::PostSend:
        return "PostSend";
    }
    return "";
}

std::optional<RequestKind> requestKindOf(std::string_view name) {
    for (RequestKind kind : kKinds)
        if (name == nameOf(kind)) return kind;
    return std::nullopt;
}

Lane laneFor(RequestKind kind, const std::string& address) {
    switch (kind) {
    case RequestKind::Login:
    case RequestKind::LoadTyc:
    case RequestKind::AddWord:
    case RequestKind::SendKeywords:
        return Lane::Vendor;
    case RequestKind::GetContent:
        return Lane::Batch;
    case RequestKind::PostSend:
        break;
    }
    const std::string& base = vendor::baseAddress();
    const bool toVendor = !base.empty() && address.compare(0, base.size(), base) == 0 &&
                          (address.size() == base.size() || address[base.size()] == '/');
    return toVendor ? Lane::Vendor : Lane::Batch;
}

void prepare(THTTPGet& request, RequestKind kind, const std::string& address,
             const std::string& body) {
    request.RequestLane = laneFor(kind, address);
    request.BinaryData = false;
    request.WaitThread = false;
    request.UseCache = false;
    request.Agent = kAgent;
    request.URL = address;
    request.PostQuery = body;
}

std::string answerText(const std::string& body) {
    if (body.empty() || !cp::isValidUtf8(body)) return body;
    std::string converted = cp::utf8ToGbk(body);
    return converted.empty() ? body : converted;
}

} // namespace net
