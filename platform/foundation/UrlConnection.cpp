#include "platform/foundation/UrlConnection.h"

#include "platform/foundation/HttpEngine.h"
#include "platform/foundation/Reachability.h"

#include <vector>

namespace pf {

namespace {
// Connections still loading; main thread only.
std::vector<std::weak_ptr<UrlConnection>> g_loading;
}

std::shared_ptr<UrlConnection> UrlConnection::create(UrlRequest request)
{
    return std::shared_ptr<UrlConnection>(new UrlConnection(std::move(request)));
}

UrlConnection::UrlConnection(UrlRequest request)
    : m_request(std::move(request))
{
}

UrlConnection::~UrlConnection() = default;

void UrlConnection::start()
{
    if (m_started)
        return;
    m_started = true;
    m_loading = true;
    m_pending.emplace();
    m_keepAlive = shared_from_this();
    g_loading.push_back(weak_from_this());

    if (Reachability::override() == Reachability::Status::NotReachable) {
        auto error = UrlError::make(UrlError::NotConnectedToInternet);
        deliver([error](UrlConnection& c) { if (c.didFailWithError) c.didFailWithError(error); }, true);
        return;
    }

    std::weak_ptr<UrlConnection> weak = weak_from_this();
    HttpEngine::Sinks sinks;
    // The sinks run on the transfer thread; each hands its call to the main loop.
    sinks.response = [weak](UrlResponse response) {
        if (auto self = weak.lock())
            self->deliver([r = std::move(response)](UrlConnection& c) { if (c.didReceiveResponse) c.didReceiveResponse(r); }, false);
    };
    sinks.data = [weak](Bytes data) {
        if (auto self = weak.lock())
            self->deliver([d = std::move(data)](UrlConnection& c) { if (c.didReceiveData) c.didReceiveData(d); }, false);
    };
    sinks.finish = [weak] {
        if (auto self = weak.lock())
            self->deliver([](UrlConnection& c) { if (c.didFinishLoading) c.didFinishLoading(); }, true);
    };
    sinks.error = [weak](UrlError error) {
        if (auto self = weak.lock())
            self->deliver([e = std::move(error)](UrlConnection& c) { if (c.didFailWithError) c.didFailWithError(e); }, true);
    };
    m_transfer = HttpEngine::shared().start(m_request, std::move(sinks));
}

void UrlConnection::deliver(std::function<void(UrlConnection&)> call, bool final)
{
    // Any thread. The connection stays alive (m_keepAlive) until the final call has run.
    RunLoop::main().post([self = shared_from_this(), call = std::move(call), final] {
        if (!self->m_loading)
            return; // cancelled meanwhile
        if (final)
            self->m_loading = false;
        call(*self);
        if (final)
            self->finished();
    });
}

void UrlConnection::cancel()
{
    if (!m_loading)
        return;
    m_loading = false;
    if (m_transfer)
        HttpEngine::shared().cancel(m_transfer);
    finished();
}

void UrlConnection::finished()
{
    std::erase_if(g_loading, [this](const std::weak_ptr<UrlConnection>& w) {
        auto c = w.lock();
        return !c || c.get() == this;
    });
    m_pending.reset();
    auto keep = std::move(m_keepAlive); // may be the last reference: released on return
}

void UrlConnection::cancelAll()
{
    std::vector<std::shared_ptr<UrlConnection>> loading;
    for (auto& weak : g_loading)
        if (auto c = weak.lock())
            loading.push_back(std::move(c));
    for (auto& c : loading)
        c->cancel();
    g_loading.clear();
}

size_t UrlConnection::loadingCount()
{
    return g_loading.size();
}

UrlConnection::SyncResult UrlConnection::sendSynchronousRequest(const UrlRequest& request, double timeout)
{
    SyncResult out;
    if (Reachability::override() == Reachability::Status::NotReachable) {
        out.error = UrlError::make(UrlError::NotConnectedToInternet);
        return out;
    }
    auto result = HttpEngine::perform(request, timeout);
    out.response = std::move(result.response);
    out.data = std::move(result.data);
    out.error = std::move(result.error);
    return out;
}

}
