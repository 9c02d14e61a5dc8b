#include "core/ContentFetcher.h"

#include "platform/foundation/Log.h"
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
