#include "tools/portal/PortalServer.h"

#include "platform/foundation/AsciiText.h"
#include "platform/foundation/ServerSocketOptions.h"

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>

#include <strings.h>
#include <thread>

namespace portal {

namespace {

// Form decoding: "+" is a blank, "%XX" a byte; a broken escape is kept as written.
std::string formDecode(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && pf::AsciiText::hexDigitValue(text[i + 1]) >= 0 && pf::AsciiText::hexDigitValue(text[i + 2]) >= 0) {
            out += static_cast<char>(pf::AsciiText::hexDigitValue(text[i + 1]) * 16 + pf::AsciiText::hexDigitValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

// Later fields of the same name replace earlier ones.
std::map<std::string, std::string> parseForm(std::string_view body)
{
    std::map<std::string, std::string> form;
    while (!body.empty()) {
        size_t amp = body.find('&');
        std::string_view pair = body.substr(0, amp);
        if (!pair.empty()) {
            size_t eq = pair.find('=');
            std::string key = formDecode(pair.substr(0, eq));
            std::string value = eq == std::string_view::npos ? std::string() : formDecode(pair.substr(eq + 1));
            form[key] = value;
        }
        if (amp == std::string_view::npos)
            break;
        body.remove_prefix(amp + 1);
    }
    return form;
}

}

std::optional<std::string> ReceivedRequest::header(const std::string& name) const
{
    for (auto& [key, value] : headers) {
        if (strcasecmp(key.c_str(), name.c_str()) == 0)
            return value;
    }
    return std::nullopt;
}

size_t ReceivedRequest::headerCount(const std::string& name) const
{
    size_t n = 0;
    for (auto& h : headers)
        n += strcasecmp(h.first.c_str(), name.c_str()) == 0 ? 1 : 0;
    return n;
}

struct PortalServer::Impl {
    httplib::Server server;
    std::thread thread;
    mutable std::mutex logMutex;
    std::vector<ReceivedRequest> log;

    std::mutex holdMutex;
    std::condition_variable holdChanged;
    std::set<std::string> held;

    void waitIfHeld(const std::string& operation)
    {
        std::unique_lock lock(holdMutex);
        holdChanged.wait(lock, [&] { return !held.count(operation); });
    }

    void releaseAll()
    {
        {
            std::lock_guard lock(holdMutex);
            held.clear();
        }
        holdChanged.notify_all();
    }

    // Called first by every handler, so a request is in the log before its reply leaves.
    void record(const httplib::Request& req)
    {
        ReceivedRequest received;
        received.method = req.method;
        received.path = req.path;
        size_t question = req.target.find('?');
        if (question != std::string::npos)
            received.query = req.target.substr(question + 1);
        for (auto& [key, value] : req.headers) {
            if (key != "REMOTE_ADDR" && key != "REMOTE_PORT" && key != "LOCAL_ADDR" && key != "LOCAL_PORT")
                received.headers.emplace_back(key, value);
        }
        received.body = req.body;
        std::lock_guard lock(logMutex);
        log.push_back(std::move(received));
    }
};

PortalServer::PortalServer(PortalOptions options)
    : m_options(std::move(options))
    , m_impl(std::make_unique<Impl>())
{
}

PortalServer::~PortalServer()
{
    stop();
}

std::string PortalServer::rootURL() const
{
    return "http://" + m_options.host + ":" + std::to_string(m_port) + "/";
}

bool PortalServer::start()
{
    if (m_impl->thread.joinable())
        return true;
    auto& server = m_impl->server;
    // One request per connection: a client's idle keep-alive connection would otherwise hold
    // `stop` for the server's keep-alive time-out.
    server.set_keep_alive_max_count(1);
    server.set_keep_alive_timeout(1);
    // A port another server listens on is refused, not shared.
    server.set_socket_options(pf::ServerSocketOptions::apply);
    if (m_options.port == 0) {
        m_port = server.bind_to_any_port(m_options.host);
    } else {
        m_port = server.bind_to_port(m_options.host, m_options.port) ? m_options.port : -1;
    }
    if (m_port <= 0)
        return false;
    m_service = std::make_unique<PortalService>(m_options, rootURL());

    server.Post(R"(/api/(.*))", [this](const httplib::Request& req, httplib::Response& res) {
        m_impl->record(req);
        PortalRequest request;
        request.operation = req.matches[1];
        if (size_t question = req.target.find('?'); question != std::string::npos)
            request.query = req.target.substr(question + 1);
        request.form = parseForm(req.body);
        if (req.has_header("Authorization"))
            request.authorization = req.get_header_value("Authorization");
        if (req.has_header("imei"))
            request.imei = req.get_header_value("imei");
        m_impl->waitIfHeld(request.operation);
        PortalReply reply = m_service->handle(request);
        res.status = reply.httpStatus;
        res.set_content(reply.body, reply.contentType.c_str());
    });
    server.Get(R"(/api/(.*))", [this](const httplib::Request& req, httplib::Response& res) {
        m_impl->record(req);
        res.status = 405;
        res.set_content(R"({"ret":405,"msg":"请使用POST请求"})", "application/json; charset=utf-8");
    });
    server.Get(R"(/img/(.*))", [this](const httplib::Request& req, httplib::Response& res) {
        m_impl->record(req);
        auto png = m_service->image(req.matches[1]);
        if (!png) {
            res.status = 404;
            return;
        }
        res.set_content(reinterpret_cast<const char*>(png->data()), png->size(), "image/png");
    });
    auto servePage = [this](const httplib::Request& req, httplib::Response& res) {
        m_impl->record(req);
        auto page = m_service->page(req.path.substr(1));
        if (!page) {
            res.status = 404;
            return;
        }
        res.set_content(*page, "text/html; charset=utf-8");
    };
    server.Get(R"(/forum-2508-1\.html)", servePage);
    server.Get("/connect.php", [this](const httplib::Request& req, httplib::Response& res) {
        m_impl->record(req);
        std::map<std::string, std::string> query;
        for (const auto& [key, value] : req.params)
            query[key] = value;
        res.set_content(m_service->forumConnectPage(query), "text/html; charset=utf-8");
    });
    server.Get(R"(/gift/\d+\.html)", servePage);

    m_impl->thread = std::thread([this] { m_impl->server.listen_after_bind(); });
    // `stop` only reaches a server that is already listening: wait for it (bounded), so that a
    // test that stops at once does not leave the thread listening forever.
    for (int i = 0; i < 5000 && !server.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void PortalServer::stop()
{
    // A held handler would keep the server's workers, and so `stop`, waiting.
    m_impl->releaseAll();
    if (!m_impl->thread.joinable())
        return;
    m_impl->server.stop();
    m_impl->thread.join();
}

void PortalServer::holdOperation(const std::string& operation)
{
    std::lock_guard lock(m_impl->holdMutex);
    m_impl->held.insert(operation);
}

void PortalServer::releaseHeld()
{
    m_impl->releaseAll();
}

void PortalServer::releaseHeld(const std::string& operation)
{
    {
        std::lock_guard lock(m_impl->holdMutex);
        m_impl->held.erase(operation);
    }
    m_impl->holdChanged.notify_all();
}

std::vector<ReceivedRequest> PortalServer::receivedRequests() const
{
    std::lock_guard lock(m_impl->logMutex);
    return m_impl->log;
}

void PortalServer::clearReceivedRequests()
{
    std::lock_guard lock(m_impl->logMutex);
    m_impl->log.clear();
}

}
