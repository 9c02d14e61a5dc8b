// A raw HTTP reply (status line, headers, chunked or sized body, cut anywhere) served from a
// local socket to the platform's HTTP client through a synchronous request, as the app's
// blocking fetches make it. Cookies the reply sets are stored and sent as usual.
//
// Every address goes through the local server, also where a fuzzed redirect points elsewhere:
// the server is made the proxy for http and https, so no run reaches another host.
#include "fuzz/support/FuzzSupport.h"
#include "fuzz/support/RawReplyServer.h"
#include "platform/foundation/CookieStorage.h"
#include "platform/foundation/UrlConnection.h"

#include <cstdlib>

namespace {

constexpr double kTimeout = 2;
constexpr size_t kMaxReplyBytes = 1 << 20;

fuzz::RawReplyServer& server()
{
    static fuzz::RawReplyServer* server = [] {
        auto* made = new fuzz::RawReplyServer;
        std::string proxy = made->baseUrl();
        ::setenv("http_proxy", proxy.c_str(), 1);
        ::setenv("https_proxy", proxy.c_str(), 1);
        ::setenv("HTTPS_PROXY", proxy.c_str(), 1);
        ::unsetenv("no_proxy");
        ::unsetenv("NO_PROXY");
        ::unsetenv("all_proxy");
        ::unsetenv("ALL_PROXY");
        return made;
    }();
    return *server;
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    fuzz::RawReplyServer& local = server();
    local.setReply(std::string(reinterpret_cast<const char*>(data), size));

    pf::UrlRequest request(local.baseUrl() + "/api/ka/list?page=1", kTimeout);
    request.setMaximumResponseSize(kMaxReplyBytes);
    auto result = pf::UrlConnection::sendSynchronousRequest(request);
    if (result.succeeded() && !result.response)
        std::abort();
    if (result.response) {
        const pf::UrlResponse& response = *result.response;
        response.allHeaderFields();
        response.valueForHeader("content-type");
        response.expectedContentLength();
        response.mimeType();
        response.textEncodingName();
    }
    if (result.data.size() > kMaxReplyBytes)
        std::abort();
    pf::CookieStorage::shared().removeAll();
    return 0;
}
