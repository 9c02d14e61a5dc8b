#pragma once

#include "tools/portal/PortalService.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace portal {

// A request as it reached the server, for tests that check what a client sent.
struct ReceivedRequest {
    std::string method;
    std::string path;  // without the query
    std::string query; // as written, without "?"
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The first header of that name (any letter case); none when absent.
    std::optional<std::string> header(const std::string& name) const;
    size_t headerCount(const std::string& name) const;
};

// The local portal: the portal's API under "/api/", its pictures under "/img/", the feedback
// and forum pages, on 127.0.0.1 and a port of its own (0 picks a free one). Serves on a thread
// of its own from `start` until `stop` or destruction.
//
//   POST /api/<operation>      form body, JSON envelope reply (404 for an unknown operation)
//   GET  /img/<kind>/<n>.png   icons, carousel pictures, avatars, captchas
//   GET  /forum-2508-1.html, /gift/<fid>.html
class PortalServer {
public:
    explicit PortalServer(PortalOptions options = {});
    ~PortalServer();
    PortalServer(const PortalServer&) = delete;
    PortalServer& operator=(const PortalServer&) = delete;

    // Binds and starts serving; false when the address cannot be bound (errno then says why:
    // EADDRINUSE when another server listens on the port).
    bool start();
    void stop();

    int port() const { return m_port; }
    // "http://127.0.0.1:<port>/": the forum root.
    std::string rootURL() const;
    // rootURL + "api/": the base of every operation's address.
    std::string apiBaseURL() const { return rootURL() + "api/"; }

    PortalService& service() { return *m_service; }
    std::vector<ReceivedRequest> receivedRequests() const;
    void clearReceivedRequests();

    // Test support: replies to `operation` ("ka/capth") wait, once recorded, until
    // `releaseHeld` (or `stop`), so a test can look at the screen while that request is
    // certainly still in flight instead of racing the reply.
    void holdOperation(const std::string& operation);
    void releaseHeld();
    // Lets the replies of one held operation go while the others stay held, so a test can
    // choose which of two requests in flight the portal handles first.
    void releaseHeld(const std::string& operation);

private:
    struct Impl;
    PortalOptions m_options;
    int m_port { 0 };
    std::unique_ptr<PortalService> m_service;
    std::unique_ptr<Impl> m_impl;
};

}
