// The request launchers of the main window and the dispatch of completions to
// the flow that issued each request, by its request kind.
#include <exception>
#include <memory>

#include "app/Unit1.h"
#include "net/HTTPGet.h"
#include "net/requests.h"
#include "net/vendor.h"
#include "protocol/UnitAES.h"
#include "protocol/codepage.h"

using cp::G;
using net::RequestKind;

namespace {

// Completions usually arrive in launch order, so the object is found near the
// front of the list.
bool releaseRequest(TForm1& form, const THTTPGet* sender) noexcept {
    for (auto it = form.Requests.begin(); it != form.Requests.end(); ++it) {
        if (it->get() == sender) {
            form.Requests.erase(it);
            return true;
        }
    }
    return false;
}

bool owns(const TForm1& form, const THTTPGet* request) {
    for (const auto& r : form.Requests)
        if (r.get() == request) return true;
    return false;
}

} // namespace

TAes& TForm1::cipher() {
    if (!Cipher) Cipher = std::make_unique<TAes>();
    return *Cipher;
}

void TForm1::launch(RequestKind kind, const std::string& address, const std::string& body,
                    std::int32_t listIndex) {
    auto request = std::make_unique<Tmyhttpget>(m_platform);
    net::prepare(*request, kind, address, body);
    request->FRequestKind = net::nameOf(kind);
    request->FListIndex = listIndex;
    request->OnDoneString = [this](THTTPGet* sender, const std::string& text) {
        getstr(sender, text);
    };
    request->OnError = [this](THTTPGet* sender) { geterror(sender); };
    // The window owns the request until its completion releases it, which may
    // happen before Start returns.
    Tmyhttpget* started = request.get();
    Requests.push_back(std::move(request));
    try {
        started->Start();
    } catch (const std::exception&) {
        // A request that could not be started (no thread or memory for it)
        // fails as one that found no server: its flow shows its failure text.
        if (!owns(*this, started) || started->running()) throw;
        geterror(started);
    }
}

void TForm1::gotourl(const std::string& address, const std::string& kind, std::int32_t listIndex) {
    // Only the GET kinds start here; any other text starts nothing.
    const auto k = net::requestKindOf(kind);
    if (!k || net::isPost(*k)) return;
    if (*k == RequestKind::LoadTyc && !LoggedIn) {
        lv2.clear();
        lbl3.setCaption(G("还未登录无法下载网络词库！"));
        return;
    }
    launch(*k, address, {}, listIndex);
}

void TForm1::gotourlPost(const std::string& address, const std::string& kind,
                         const std::string& body, std::int32_t listIndex) {
    const auto k = net::requestKindOf(kind);
    if (!k || !net::isPost(*k)) return;
    launch(*k, address, body, listIndex);
}

void TForm1::getstr(THTTPGet* sender, const std::string& result) {
    // A handler that fails still lets the request object go; its failure is
    // then shown like any other uncaught failure of a command.
    std::exception_ptr failure;
    try {
        auto* request = dynamic_cast<Tmyhttpget*>(sender);
        const auto kind = request ? net::requestKindOf(request->FRequestKind) : std::nullopt;
        if (kind) {
            // A fetched page is handed on as it came (its job reads web pages
            // in their own encoding); every other answer becomes program text.
            const std::string text =
                *kind == RequestKind::GetContent ? std::string() : net::answerText(result);
            switch (*kind) {
            case RequestKind::GetContent:
                getcontentAnswer(*request, result);
                break;
            case RequestKind::PostSend:
                PostSendAnswer(*request, text);
                break;
            case RequestKind::Login:
                loginAnswer(*request, text);
                break;
            case RequestKind::AddWord:
                addwordAnswer(*request, text);
                break;
            case RequestKind::SendKeywords:
                sendkeywordsAnswer(*request, text);
                break;
            case RequestKind::LoadTyc:
                if (!text.empty()) loadtycAnswer(*request, text);
                break;
            }
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
        auto* request = dynamic_cast<Tmyhttpget*>(sender);
        const auto kind = request ? net::requestKindOf(request->FRequestKind) : std::nullopt;
        if (kind) {
            switch (*kind) {
            case RequestKind::GetContent:
                getcontentError(*request);
                break;
            case RequestKind::PostSend:
                PostSendError(*request);
                break;
            case RequestKind::AddWord:
                lbl3.setCaption(G("下载词库共享时，服务器异常。"));
                break;
            case RequestKind::Login:
                loginError(*request);
                break;
            case RequestKind::LoadTyc:
                lbl3.setCaption(G("下载词库失败-服务器不能连接，请联系") + vendor::webAddress());
                break;
            case RequestKind::SendKeywords:
                lbl9.setCaption(G("共享失败-服务器不能连接，请联系") + vendor::webAddress());
                break;
            }
        }
    } catch (...) {
        failure = std::current_exception();
    }
    releaseRequest(*this, sender);
    if (failure) run([&failure] { std::rethrow_exception(failure); });
}
