// The request launchers of the main window and the dispatch of completions to
// the flow that issued each request, by its request kind.
#include <exception>
#include <memory>

#include "app/Unit1.h"
#include "app/vendor.h"
#include "protocol/codepage.h"
#include "net/HTTPGet.h"
#include "protocol/UnitAES.h"

using cp::G;

namespace {

// Every request of the program presents itself with the same agent text.
const char* const kAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)";

// Requests to the vendor server (login, pages, points, shares and the test
// submission) take the vendor lane, so a batch run's fetches never hold them up.
// A batch post goes there too when the user posts to the vendor's own address.
bool isVendorRequest(const std::string& address, const std::string& kind) {
    if (kind == "login" || kind == "loadtyc" || kind == "addword" || kind == "sendkeywords")
        return true;
    const std::string& base = vendor::baseAddress();
    return kind == "PostSend" && !base.empty() && address.compare(0, base.size(), base) == 0 &&
           (address.size() == base.size() || address[base.size()] == '/');
}

std::unique_ptr<Tmyhttpget> makeRequest(TForm1& form, const std::string& address,
                                        const std::string& kind) {
    auto request = std::make_unique<Tmyhttpget>(form.platform());
    request->RequestLane = isVendorRequest(address, kind) ? net::Lane::Vendor : net::Lane::Batch;
    request->BinaryData = false;
    request->WaitThread = false;
    request->UseCache = false;
    request->Agent = kAgent;
    request->FRequestKind = kind;
    request->URL = address;
    request->OnDoneString = [&form](THTTPGet* sender, const std::string& text) {
        form.getstr(sender, text);
    };
    request->OnError = [&form](THTTPGet* sender) { form.geterror(sender); };
    return request;
}

// Hands the request to the window and starts it. Its completion may already
// have released it when this returns.
void startOwned(TForm1& form, std::unique_ptr<Tmyhttpget> request) {
    Tmyhttpget* started = request.get();
    form.Requests.push_back(std::move(request));
    started->Start();
}

// Completions usually arrive in launch order, so the object is found near the
// front of the list.
void releaseRequest(TForm1& form, const THTTPGet* sender) noexcept {
    for (auto it = form.Requests.begin(); it != form.Requests.end(); ++it) {
        if (it->get() == sender) {
            form.Requests.erase(it);
            return;
        }
    }
}

// The response text in the program's code page: a body that is well-formed
// UTF-8 is converted to GBK; anything else (a GBK page, binary data, broken
// UTF-8) is kept exactly as received.
std::string answerText(const std::string& body) {
    if (body.empty() || !cp::isValidUtf8(body)) return body;
    std::string converted = cp::utf8ToGbk(body);
    return converted.empty() ? body : converted;
}

} // namespace

TAes& TForm1::cipher() {
    if (!Cipher) Cipher = std::make_unique<TAes>();
    return *Cipher;
}

void TForm1::gotourl(const std::string& address, const std::string& kind, std::int32_t listIndex) {
    try {
        auto request = makeRequest(*this, address, kind);
        request->FListIndex = listIndex;
        if (kind == "loadtyc") {
            if (LoggedIn) {
                startOwned(*this, std::move(request));
            } else {
                try {
                    lv2.clear();
                } catch (...) {
                }
                lbl3.setCaption(G("还未登录无法下载网络词库！"));
            }
        } else if (kind == "addword" || kind == "login" || kind == "getcontent" ||
                   kind == "sendkeywords") {
            startOwned(*this, std::move(request));
        }
        // A request that is not started is released here, not kept until exit.
    } catch (...) {
        // A request that cannot be built or started is simply not made.
    }
}

void TForm1::gotourlPost(const std::string& address, const std::string& kind,
                         const std::string& body, std::int32_t listIndex) {
    try {
        auto request = makeRequest(*this, address, kind);
        request->PostQuery = body;
        request->FListIndex = listIndex;
        if (kind == "PostSend") startOwned(*this, std::move(request));
    } catch (...) {
    }
}

void TForm1::getstr(THTTPGet* sender, const std::string& result) {
    // A handler that fails still lets the request object go; its failure is
    // then shown like any other uncaught failure of a command.
    std::exception_ptr failure;
    try {
        if (auto* request = dynamic_cast<Tmyhttpget*>(sender)) {
            const std::string text = answerText(result);
            const std::string kind = request->FRequestKind;
            if (kind == "getcontent")
                getcontentAnswer(*request, text);
            else if (kind == "PostSend")
                PostSendAnswer(*request, text);
            else if (kind == "login")
                loginAnswer(*request, text);
            else if (kind == "addword")
                addwordAnswer(*request, text);
            else if (kind == "sendkeywords")
                sendkeywordsAnswer(*request, text);
            else if (kind == "loadtyc" && !text.empty())
                loadtycAnswer(*request, text);
        }
    } catch (...) {
        failure = std::current_exception();
    }
    releaseRequest(*this, sender);
    if (failure) run([&failure] { std::rethrow_exception(failure); });
}

void TForm1::geterror(THTTPGet* sender) {
    std::exception_ptr failure;
    try {
        if (auto* request = dynamic_cast<Tmyhttpget*>(sender)) {
            const std::string kind = request->FRequestKind;
            if (kind == "getcontent") {
                getcontentError(*request);
            } else if (kind == "PostSend") {
                PostSendError(*request);
            } else if (kind == "addword") {
                lbl3.setCaption(G("下载词库共享时，服务器异常。"));
            } else if (kind == "login") {
                lbl8.setCaption(G("登录失败-服务器不能连接，请联系") + vendor::webAddress());
            } else if (kind == "loadtyc") {
                lbl3.setCaption(G("下载词库失败-服务器不能连接，请联系") + vendor::webAddress());
            } else if (kind == "sendkeywords") {
                lbl9.setCaption(G("共享失败-服务器不能连接，请联系") + vendor::webAddress());
            }
        }
    } catch (...) {
        failure = std::current_exception();
    }
    releaseRequest(*this, sender);
    if (failure) run([&failure] { std::rethrow_exception(failure); });
}
