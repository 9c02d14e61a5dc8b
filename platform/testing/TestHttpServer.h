#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pf {

// A real HTTP server on 127.0.0.1 with an ephemeral port, for tests. It runs on its own
// threads from construction to destruction.
//
// Rules:
// - Handlers are matched by method and exact path (without the query); "*" as the method
//   matches any. Unmatched requests get 404 "not found". A later registration of the same
//   method and path replaces the earlier one.
// - Every request is recorded before its handler runs; `requests()` hands the test a copy,
//   safe to read while the server works.
// - A reply can be cut short (`truncateAfter`: the declared length is the whole body but only
//   that many bytes are sent before the connection closes) or held back (`hold`: the handler
//   waits until `releaseHeld()` or the server's destruction).
class TestHttpServer {
public:
    using Header = std::pair<std::string, std::string>;

    struct Request {
        std::string method;
        std::string path;   // without the query
        std::string target; // as sent, with the query
        std::vector<Header> headers {};
        std::string body;
        // First value of a header (case-insensitive name).
        std::optional<std::string> header(std::string_view name) const;
    };

    struct Response {
        int status { 200 };
        std::string body;
        std::string contentType { "text/plain; charset=utf-8" };
        std::vector<Header> headers {};
        std::optional<size_t> truncateAfter {};
        bool hold { false };
    };

    using Handler = std::function<Response(const Request&)>;

    TestHttpServer();
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    int port() const;
    // "http://127.0.0.1:<port>"
    std::string baseUrl() const;
    // baseUrl() + path
    std::string url(std::string_view path) const;

    void on(std::string method, std::string path, Handler handler);
    // A fixed reply.
    void reply(std::string method, std::string path, int status, std::string body, std::string contentType = "text/plain; charset=utf-8");

    std::vector<Request> requests() const;
    size_t requestCount() const;
    std::optional<Request> lastRequest() const;
    void clearRequests();
    void releaseHeld();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}
