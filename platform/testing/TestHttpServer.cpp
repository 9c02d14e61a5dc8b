#include "platform/testing/TestHttpServer.h"

#include "platform/foundation/ServerSocketOptions.h"
#include "platform/foundation/UrlRequest.h"

#include <httplib.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace pf {

struct TestHttpServer::Impl {
    httplib::Server server;
    std::thread thread;
    int port { 0 };

    mutable std::mutex mutex;
    std::condition_variable released;
    bool releaseAll { false };
    std::vector<Request> requests;
    std::map<std::pair<std::string, std::string>, Handler> handlers;

    void handle(const httplib::Request& in, httplib::Response& out)
    {
        Request request;
        request.method = in.method;
        request.path = in.path;
        request.target = in.target;
        request.body = in.body;
        for (const auto& [name, value] : in.headers)
            request.headers.emplace_back(name, value);
        Handler handler;
        {
            std::lock_guard lock(mutex);
            requests.push_back(request);
            auto it = handlers.find({ in.method, in.path });
            if (it == handlers.end())
                it = handlers.find({ "*", in.path });
            if (it == handlers.end() && in.method == "HEAD")
                it = handlers.find({ "GET", in.path });
            if (it != handlers.end())
                handler = it->second;
        }
        Response response;
        if (handler) {
            response = handler(request);
        } else {
            response.status = 404;
            response.body = "not found";
        }
        if (response.hold) {
            std::unique_lock lock(mutex);
            released.wait(lock, [this] { return releaseAll; });
        }
        out.status = response.status;
        for (const auto& [name, value] : response.headers)
            out.headers.emplace(name, value);
        if (response.truncateAfter) {
            auto body = std::make_shared<std::string>(response.body);
            size_t cut = std::min(*response.truncateAfter, body->size());
            out.set_content_provider(body->size(), response.contentType,
                [body, cut](size_t offset, size_t, httplib::DataSink& sink) {
                    if (offset < cut)
                        sink.write(body->data() + offset, cut - offset);
                    return false; // closes the connection short of the declared length
                });
            return;
        }
        out.set_content(response.body, response.contentType);
    }
};

std::optional<std::string> TestHttpServer::Request::header(std::string_view name) const
{
    for (const auto& [key, value] : headers)
        if (equalsIgnoringCase(key, name))
            return value;
    return std::nullopt;
}

TestHttpServer::TestHttpServer()
    : m_impl(std::make_unique<Impl>())
{
    auto handler = [impl = m_impl.get()](const httplib::Request& in, httplib::Response& out) { impl->handle(in, out); };
    auto& s = m_impl->server;
    // One request per connection: a kept-alive idle connection would hold up `stop` for the
    // whole keep-alive time-out.
    s.set_keep_alive_max_count(1);
    s.set_keep_alive_timeout(1);
    s.set_socket_options(ServerSocketOptions::apply);
    s.Get(".*", handler);
    s.Post(".*", handler);
    s.Put(".*", handler);
    s.Delete(".*", handler);
    s.Patch(".*", handler);
    s.Options(".*", handler);
    m_impl->port = s.bind_to_any_port("127.0.0.1");
    m_impl->thread = std::thread([impl = m_impl.get()] { impl->server.listen_after_bind(); });
    // Serving starts on the new thread; requests sent before that would still be accepted by
    // the bound socket, but a test that checks `is_running` should see it true.
    for (int spin = 0; m_impl->port > 0 && !s.is_running() && spin < 1'000'000; ++spin)
        std::this_thread::yield();
}

TestHttpServer::~TestHttpServer()
{
    releaseHeld();
    m_impl->server.stop();
    if (m_impl->thread.joinable())
        m_impl->thread.join();
}

int TestHttpServer::port() const { return m_impl->port; }
std::string TestHttpServer::baseUrl() const { return "http://127.0.0.1:" + std::to_string(m_impl->port); }
std::string TestHttpServer::url(std::string_view path) const { return baseUrl() + std::string(path); }

void TestHttpServer::on(std::string method, std::string path, Handler handler)
{
    std::lock_guard lock(m_impl->mutex);
    m_impl->handlers[{ std::move(method), std::move(path) }] = std::move(handler);
}

void TestHttpServer::reply(std::string method, std::string path, int status, std::string body, std::string contentType)
{
    on(std::move(method), std::move(path), [=](const Request&) {
        Response r;
        r.status = status;
        r.body = body;
        r.contentType = contentType;
        return r;
    });
}

std::vector<TestHttpServer::Request> TestHttpServer::requests() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->requests;
}

size_t TestHttpServer::requestCount() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->requests.size();
}

std::optional<TestHttpServer::Request> TestHttpServer::lastRequest() const
{
    std::lock_guard lock(m_impl->mutex);
    if (m_impl->requests.empty())
        return std::nullopt;
    return m_impl->requests.back();
}

void TestHttpServer::clearRequests()
{
    std::lock_guard lock(m_impl->mutex);
    m_impl->requests.clear();
}

void TestHttpServer::releaseHeld()
{
    {
        std::lock_guard lock(m_impl->mutex);
        m_impl->releaseAll = true;
    }
    m_impl->released.notify_all();
}

}
