#pragma once

#include "platform/foundation/Value.h"
#include "sdk/libBlipSDK/BPHttpRequestDelegate.h"

#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace pf {
struct UrlError;
class Image;
class UrlConnection;
}

namespace blip {

// One call of a Blip endpoint: GET with the text parameters in the query, or POST with a
// multipart body (the text parameters also stay in the query). Pictures and data are sent
// only in a POST body. The outcome goes to the delegate on the main loop.
//
// Rules:
// - A started request keeps itself alive until it finishes or fails; the delegate is held
//   weakly and is never told anything after `disconnect`.
// - The HTTP status is not examined: an error page is a result like any other.
// - A reply over `kMaximumReplySize` bytes is a failure (DataLengthExceedsMaximum), not a result.
class BPHttpRequest : public std::enable_shared_from_this<BPHttpRequest> {
public:
    static constexpr const char* kBoundary = "293iosfksdfkiowjksdf31jsiuwq003s02dsaffafass3qw";
    static constexpr double kTimeout = 180;
    static constexpr size_t kMaximumReplySize = 8u * 1024 * 1024;

    struct Param {
        std::string name;
        std::variant<std::string, pf::Bytes, std::shared_ptr<pf::Image>> value;
    };
    using Params = std::vector<Param>;

    static std::shared_ptr<BPHttpRequest> requestWithURL(const std::string& url, const std::string& httpMethod,
        const Params& params, const std::weak_ptr<BPHttpRequestDelegate>& delegate, const std::string& tag);
    // The same with "access_token" added to the parameters.
    static std::shared_ptr<BPHttpRequest> requestWithAccessToken(const std::string& accessToken, const std::string& url,
        const std::string& httpMethod, const Params& params, const std::weak_ptr<BPHttpRequestDelegate>& delegate,
        const std::string& tag);

    static std::string serializeURL(const std::string& url, const Params& params, const std::string& httpMethod);
    pf::Bytes postBodyHasRawData(bool* hasRawData) const;
    static void appendUTF8BodyDataString(pf::Bytes& body, std::string_view text);

    void connect();
    void disconnect();

    const std::string& url() const { return m_url; }
    const std::string& httpMethod() const { return m_method; }
    const Params& params() const { return m_params; }
    const std::string& tag() const { return m_tag; }

private:
    BPHttpRequest(std::string url, std::string method, Params params, std::weak_ptr<BPHttpRequestDelegate> delegate,
        std::string tag);
    void finished();
    void connectionDidFinishLoading();
    void handleResponseData(const pf::Bytes& data);
    void failedWithError(const pf::UrlError& error);

    std::string m_url;
    std::string m_method;
    Params m_params;
    std::weak_ptr<BPHttpRequestDelegate> m_delegate;
    std::string m_tag;
    std::weak_ptr<pf::UrlConnection> m_connection;
    pf::Bytes m_responseData;
};

}
