#include "batch/net_transport.h"

#include <exception>

#include "net/failure_reason.h"
#include "net/requests.h"
#include "protocol/codepage.h"

namespace batch {

void NetTransport::attach(Job& job) {
    job.hooks().fetch = [this, &job](const Item& item, const std::string& url) {
        start(job, net::RequestKind::GetContent, item, url, {});
    };
    job.hooks().post = [this, &job](const Item& item, const std::string& url,
                                    const std::string& body) {
        start(job, net::RequestKind::PostSend, item, url, body);
    };
}

void NetTransport::start(Job& job, net::RequestKind kind, const Item& item, const std::string& url,
                         const std::string& body) {
    auto request = std::make_unique<Tmyhttpget>(m_loop);
    net::prepare(*request, kind, url, body);
    request->FRequestKind = net::nameOf(kind);
    request->FListIndex = item.index;
    const bool post = net::isPost(kind);
    request->OnDoneString = [this, &job, post](THTTPGet* sender, const std::string& body) {
        auto* r = static_cast<Tmyhttpget*>(sender);
        const int index = r->FListIndex;
        Job::Answer answer{r->URL, {}, r->ResponseStatus, r->ContentType};
        release(sender);
        if (post) {
            job.posted(index, net::answerText(body), answer.status);
        } else {
            answer.body = body;
            job.fetched(index, answer);
        }
    };
    request->OnError = [this, &job, post](THTTPGet* sender) {
        const int index = static_cast<Tmyhttpget*>(sender)->FListIndex;
        const std::string reason = sender->ErrorReason;
        release(sender);
        if (post)
            job.postFailed(index, net::withReason(cp::G("提交出错"), reason));
        else
            job.fetchFailed(index, net::withReason(cp::G("抓取出错"), reason));
    };
    Tmyhttpget* started = request.get();
    m_requests.push_back(std::move(request));
    try {
        started->Start();
    } catch (const std::exception& e) {
        // Not started (no thread or memory for it): the item fails with the reason.
        bool owned = false;
        for (const auto& r : m_requests)
            owned = owned || r.get() == started;
        if (!owned || started->running()) throw;
        release(started);
        if (post)
            job.postFailed(item.index, e.what());
        else
            job.fetchFailed(item.index, e.what());
    }
}

void NetTransport::release(const THTTPGet* request) {
    for (auto it = m_requests.begin(); it != m_requests.end(); ++it) {
        if (it->get() == request) {
            m_requests.erase(it);
            return;
        }
    }
}

} // namespace batch
