#include "platform/foundation/UrlConnection.h"

#include "platform/foundation/HttpEngine.h"
#include "platform/foundation/Reachability.h"

#include <mutex>
#include <vector>

namespace pf {

namespace {
// Connections still loading; main thread only.
std::vector<std::weak_ptr<UrlConnection>> g_loading;
}

// The latest counts of a transfer, shared by the transfer thread (which writes them) and the
// one report waiting on the main loop (which takes them).
struct UrlConnection::ProgressMailbox {
    std::mutex mutex;
    HttpEngine::Progress latest;
    bool posted { false };
};

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
        deliver(weak_from_this(), [error](UrlConnection& c) { if (auto call = c.didFailWithError) call(error); }, true);
        return;
    }

    // The sinks run on the transfer thread. They hold the connection only weakly and hand
    // each call to the main loop, where the reference is taken: the transfer thread never
    // owns the connection, so neither it nor anything its callbacks captured can be
    // destroyed there.
    std::weak_ptr<UrlConnection> weak = weak_from_this();
    HttpEngine::Sinks sinks;
    sinks.response = [weak](UrlResponse response) {
        deliver(weak, [r = std::move(response)](UrlConnection& c) { if (auto call = c.didReceiveResponse) call(r); }, false);
    };
    sinks.data = [weak](Bytes data) {
        deliver(weak, [d = std::move(data)](UrlConnection& c) { if (auto call = c.didReceiveData) call(d); }, false);
    };
    sinks.finish = [weak] {
        deliver(weak, [](UrlConnection& c) { if (auto call = c.didFinishLoading) call(); }, true);
    };
    sinks.error = [weak](UrlError error) {
        deliver(weak, [e = std::move(error)](UrlConnection& c) { if (auto call = c.didFailWithError) call(e); }, true);
    };
    if (didSendBodyData || didWriteData) {
        auto mailbox = std::make_shared<ProgressMailbox>();
        sinks.progress = [weak, mailbox](HttpEngine::Progress progress) {
            {
                std::lock_guard lock(mailbox->mutex);
                mailbox->latest = progress;
                if (mailbox->posted)
                    return; // the waiting report takes these counts too
                mailbox->posted = true;
            }
            deliver(weak, [mailbox](UrlConnection& c) {
                HttpEngine::Progress now;
                {
                    std::lock_guard lock(mailbox->mutex);
                    now = mailbox->latest;
                    mailbox->posted = false;
                }
                c.reportProgress(now.sent, now.toSend, now.received, now.toReceive);
            }, false);
        };
    }
    m_transfer = HttpEngine::shared().start(m_request, std::move(sinks));
}

void UrlConnection::deliver(std::weak_ptr<UrlConnection> weak, std::function<void(UrlConnection&)> call, bool final)
{
    // Any thread. Only a weak reference crosses; the connection keeps itself alive
    // (m_keepAlive) until its final call has run on the main loop. Each callback is called
    // through a copy, so one that cancels (and so clears) its own connection keeps its
    // captures until it returns.
    RunLoop::main().post([weak = std::move(weak), call = std::move(call), final] {
        auto self = weak.lock();
        if (!self || !self->m_loading)
            return; // cancelled meanwhile
        if (final)
            self->m_loading = false;
        call(*self);
        if (final)
            self->finished();
    });
}

void UrlConnection::reportProgress(std::int64_t sent, std::int64_t toSend, std::int64_t received, std::int64_t toReceive)
{
    if (sent > m_reportedSent) {
        std::int64_t step = sent - m_reportedSent;
        m_reportedSent = sent;
        if (auto call = didSendBodyData)
            call(step, sent, toSend);
    }
    if (!m_loading)
        return; // the upload report cancelled the connection
    if (received > m_reportedReceived) {
        std::int64_t step = received - m_reportedReceived;
        m_reportedReceived = received;
        if (auto call = didWriteData)
            call(step, received, toReceive);
    }
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
    // No callback comes any more: what they captured (often the owner of this connection)
    // is released now, on the main thread, which also breaks any cycle through them.
    didReceiveResponse = nullptr;
    didReceiveData = nullptr;
    didFinishLoading = nullptr;
    didFailWithError = nullptr;
    didSendBodyData = nullptr;
    didWriteData = nullptr;
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
