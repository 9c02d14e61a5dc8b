#include "core/ContentFetcher.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Url.h"
#include "platform/foundation/UrlConnection.h"

bool ContentFetcher::isFetchableAddress(const std::string& address)
{
    auto url = pf::Url::fromString(address);
    return url && (url->hasScheme("http") || url->hasScheme("https")) && !url->host().empty();
}

std::optional<pf::Bytes> ContentFetcher::fetchContentsOfAddress(const std::string& address, double timeout, size_t maxBytes)
{
    if (!isFetchableAddress(address)) {
        pf::Log::format("Content fetch refused: \"%s\" is not an http or https address", address.c_str());
        return std::nullopt;
    }
    pf::UrlRequest request(address, timeout > 0 ? timeout : kDefaultTimeout);
    request.setMaximumResponseSize(maxBytes);
    auto result = pf::UrlConnection::sendSynchronousRequest(request);
    if (result.error) {
        pf::Log::format("Content fetch of %s failed: %s", address.c_str(), result.error->description.c_str());
        return std::nullopt;
    }
    int status = result.response ? result.response->statusCode() : 0;
    if (status < 200 || status > 299) {
        pf::Log::format("Content fetch of %s failed: HTTP status %d", address.c_str(), status);
        return std::nullopt;
    }
    return std::move(result.data);
}

void ContentFetcher::fetchContentsOfAddressLater(const std::string& address, Completion completion, double timeout, size_t maxBytes)
{
    if (!isFetchableAddress(address)) {
        pf::Log::format("Content fetch refused: \"%s\" is not an http or https address", address.c_str());
        auto pending = std::make_shared<pf::PendingWork>();
        pf::RunLoop::main().post([completion = std::move(completion), pending] { completion(std::nullopt); });
        return;
    }
    pf::UrlRequest request(address, timeout > 0 ? timeout : kDefaultTimeout);
    request.setMaximumResponseSize(maxBytes);
    auto connection = pf::UrlConnection::create(std::move(request));
    // The connection keeps itself, and so these callbacks, until its last callback has run.
    struct Reply {
        int status { 0 };
        pf::Bytes data;
    };
    auto reply = std::make_shared<Reply>();
    auto done = std::make_shared<Completion>(std::move(completion));
    connection->didReceiveResponse = [reply](const pf::UrlResponse& response) { reply->status = response.statusCode(); };
    connection->didReceiveData = [reply](const pf::Bytes& bytes) { reply->data.insert(reply->data.end(), bytes.begin(), bytes.end()); };
    connection->didFinishLoading = [reply, done, address] {
        if (reply->status < 200 || reply->status > 299) {
            pf::Log::format("Content fetch of %s failed: HTTP status %d", address.c_str(), reply->status);
            (*done)(std::nullopt);
            return;
        }
        (*done)(std::move(reply->data));
    };
    connection->didFailWithError = [done, address](const pf::UrlError& error) {
        pf::Log::format("Content fetch of %s failed: %s", address.c_str(), error.description.c_str());
        (*done)(std::nullopt);
    };
    connection->start();
}
