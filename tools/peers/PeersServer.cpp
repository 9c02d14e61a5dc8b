#include "tools/peers/PeersServer.h"

#include "platform/foundation/ServerSocketOptions.h"

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace peers {

namespace {

struct Fault {
    std::string method;
    std::string path;
    PeerReply reply;
    int remaining { 0 }; // 0: until cleared
};

PeerRequest toPeerRequest(const httplib::Request& req, std::string body, std::vector<PeerRequest::Part> parts)
{
    PeerRequest request;
    request.method = req.method;
    request.path = req.path;
    size_t question = req.target.find('?');
    if (question != std::string::npos)
        request.query = req.target.substr(question + 1);
    for (auto& [key, value] : req.headers) {
        if (key != "REMOTE_ADDR" && key != "REMOTE_PORT" && key != "LOCAL_ADDR" && key != "LOCAL_PORT")
            request.headers.emplace_back(key, value);
    }
    request.body = std::move(body);
    request.parts = std::move(parts);
    return request;
}

}

struct PeersServer::Impl {
    httplib::Server server;
    std::thread thread;
    mutable std::mutex mutex;
    std::vector<PeerRequest> log;
    std::vector<Fault> faults;
    std::map<VendorService*, std::unique_ptr<std::mutex>> serviceLocks;
    // Wakes delayed answers early when the server stops.
    std::condition_variable stopping;
    bool stopped { false };
    bool released { false }; // held answers go; closed again by a new holding fault

    std::optional<PeerReply> takeFault(const PeerRequest& request)
    {
        std::lock_guard lock(mutex);
        for (auto it = faults.begin(); it != faults.end(); ++it) {
            if ((it->method == "*" || it->method == request.method) && it->path == request.path) {
                PeerReply reply = it->reply;
                if (it->remaining > 0 && --it->remaining == 0)
                    faults.erase(it);
                return reply;
            }
        }
        return std::nullopt;
    }

    void holdUntilReleased()
    {
        std::unique_lock lock(mutex);
        stopping.wait(lock, [&] { return stopped || released; });
    }

    void wait(double seconds)
    {
        if (seconds <= 0)
            return;
        std::unique_lock lock(mutex);
        stopping.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return stopped; });
    }
};

PeersServer::PeersServer()
    : m_impl(std::make_unique<Impl>())
{
}

PeersServer::~PeersServer()
{
    stop();
}

void PeersServer::addService(std::shared_ptr<VendorService> service)
{
    if (!service)
        return;
    m_impl->serviceLocks.emplace(service.get(), std::make_unique<std::mutex>());
    if (m_port > 0)
        service->setRootURL(rootURL());
    m_services.push_back(std::move(service));
}

std::shared_ptr<VendorService> PeersServer::service(const std::string& prefix) const
{
    for (auto& s : m_services) {
        if (s->prefix() == prefix)
            return s;
    }
    return nullptr;
}

std::string PeersServer::rootURL() const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + "/";
}

std::string PeersServer::url(std::string path) const
{
    if (!path.empty() && path.front() == '/')
        path.erase(0, 1);
    return rootURL() + path;
}

bool PeersServer::start(int port)
{
    if (m_impl->thread.joinable())
        return true;
    auto& server = m_impl->server;
    // One request per connection: an idle keep-alive connection would hold `stop` up.
    server.set_keep_alive_max_count(1);
    server.set_keep_alive_timeout(1);
    server.set_payload_max_length(64u << 20);
    // A port another server listens on is refused, not shared.
    server.set_socket_options(pf::ServerSocketOptions::apply);
    m_port = port == 0 ? server.bind_to_any_port("127.0.0.1") : (server.bind_to_port("127.0.0.1", port) ? port : -1);
    if (m_port <= 0)
        return false;
    for (auto& s : m_services)
        s->setRootURL(rootURL());

    auto serve = [this](const httplib::Request& req, std::string body, std::vector<PeerRequest::Part> parts, httplib::Response& res) {
        PeerRequest request = toPeerRequest(req, std::move(body), std::move(parts));
        {
            std::lock_guard lock(m_impl->mutex);
            m_impl->log.push_back(request);
        }
        std::optional<PeerReply> reply = m_impl->takeFault(request);
        if (!reply) {
            // The longest matching prefix answers.
            VendorService* chosen = nullptr;
            for (auto& s : m_services) {
                const std::string prefix = s->prefix();
                if (request.path.compare(0, prefix.size(), prefix) == 0 && (!chosen || prefix.size() > chosen->prefix().size()))
                    chosen = s.get();
            }
            if (chosen) {
                std::lock_guard serviceLock(*m_impl->serviceLocks.at(chosen));
                reply = chosen->handle(request);
            }
        }
        if (!reply)
            reply = PeerReply::bytes("not found", "text/plain; charset=utf-8", 404);
        m_impl->wait(reply->delaySeconds);
        if (reply->hold)
            m_impl->holdUntilReleased();

        res.status = reply->status;
        for (auto& [name, value] : reply->headers)
            res.headers.emplace(name, value);
        if (reply->dropConnection || reply->truncateAfter) {
            // Declares the whole body, sends only the first bytes (none for a drop), then
            // closes: the client sees the exchange fail.
            auto body = std::make_shared<std::string>(reply->dropConnection ? std::string(16, ' ') : reply->body);
            size_t cut = reply->dropConnection ? 0 : std::min(*reply->truncateAfter, body->size());
            res.set_content_provider(body->size(), reply->contentType,
                [body, cut](size_t offset, size_t, httplib::DataSink& sink) {
                    if (offset < cut)
                        sink.write(body->data() + offset, cut - offset);
                    return false;
                });
            return;
        }
        res.set_content(reply->body, reply->contentType);
    };
    auto handler = [serve](const httplib::Request& req, httplib::Response& res) { serve(req, req.body, {}, res); };
    // A multipart body is recorded as its parts, in order; any other body as it came.
    auto bodyHandler = [serve](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
        std::string body;
        std::vector<PeerRequest::Part> parts;
        if (req.is_multipart_form_data()) {
            reader(
                [&parts](const httplib::MultipartFormData& part) {
                    parts.push_back({ part.name, part.filename, part.content_type, {} });
                    return true;
                },
                [&parts](const char* data, size_t length) {
                    if (!parts.empty())
                        parts.back().data.append(data, length);
                    return true;
                });
        } else {
            reader([&body](const char* data, size_t length) {
                body.append(data, length);
                return true;
            });
        }
        serve(req, std::move(body), std::move(parts), res);
    };
    server.Get(".*", handler);
    server.Post(".*", bodyHandler);
    server.Put(".*", bodyHandler);
    server.Delete(".*", handler);

    m_impl->thread = std::thread([this] { m_impl->server.listen_after_bind(); });
    for (int i = 0; i < 5000 && !server.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void PeersServer::stop()
{
    if (!m_impl->thread.joinable())
        return;
    {
        std::lock_guard lock(m_impl->mutex);
        m_impl->stopped = true;
    }
    m_impl->stopping.notify_all();
    m_impl->server.stop();
    m_impl->thread.join();
}

void PeersServer::setFault(std::string method, std::string path, PeerReply reply, int times)
{
    std::lock_guard lock(m_impl->mutex);
    if (reply.hold)
        m_impl->released = false;
    m_impl->faults.push_back({ std::move(method), std::move(path), std::move(reply), times });
}

void PeersServer::releaseHeld()
{
    {
        std::lock_guard lock(m_impl->mutex);
        m_impl->released = true;
    }
    m_impl->stopping.notify_all();
}

void PeersServer::clearFaults()
{
    std::lock_guard lock(m_impl->mutex);
    m_impl->faults.clear();
}

std::vector<PeerRequest> PeersServer::requests() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->log;
}

std::vector<PeerRequest> PeersServer::requests(const std::string& prefix) const
{
    std::lock_guard lock(m_impl->mutex);
    std::vector<PeerRequest> out;
    for (auto& r : m_impl->log) {
        if (r.path.compare(0, prefix.size(), prefix) == 0)
            out.push_back(r);
    }
    return out;
}

void PeersServer::clearRequests()
{
    std::lock_guard lock(m_impl->mutex);
    m_impl->log.clear();
}

}
