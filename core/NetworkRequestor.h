#pragma once

#include "core/NetworkParameterAssistant.h"
#include "core/NetworkRequestorDelegate.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pf {
class UrlConnection;
}

// One portal request: a form POST to an operation's address with its parameters, the reply
// collected and handed to the delegate on the main run loop.
//
// Rules:
// - Headers: "imei" (the stored device identifier), "Content-length" (the body's bytes) and,
//   when the user token is needed, "Authorization: OAuth usertoken="<token>"" with the token
//   stored when the request starts. A header whose value is missing or holds a control
//   character (a line break could add headers of its own) is left out.
// - Body: "key=value" pairs joined by "&", in the map's order. "&", "=", "+", "%" and ASCII
//   control characters in keys and values are percent-escaped, so a password or search word
//   holding them arrives intact and cannot add parameters; everything else, non-ASCII UTF-8
//   included, goes as it is.
// - The reply reaches the delegate whatever its HTTP status; then the shared URL cache is
//   cleared. A transport failure is logged and reported to the delegate's optional
//   `networkRequestorDidFailWithError`. A reply over `kMaximumReplySize` bytes is such a
//   failure: it is never buffered whole.
// - The delegate is not owned. One that has gone away by the time the reply arrives is not
//   called. A running request keeps its requestor alive until it ends, so the reply of a
//   requestor that its caller has replaced still arrives (and is told apart by identity).
// - A request that gets no reply, or a reply whose HTTP status is not 2xx, posts
//   `kRequestFailedNotification` on the default centre before the delegate hears of it, with
//   the requestor as sender and in its user information "url" (the address asked), "status"
//   (the HTTP status, 0 without a reply), "error" (the transport failure, empty with a reply)
//   and "code" (the transport failure's `pf::UrlError` code, 0 with a reply; a reply refused
//   for its size is `DataLengthExceedsMaximum`). The app's screens read only the envelope; the
//   notification is for whoever watches the device, to tell a person what went wrong with the
//   portal.
// - Starting again cancels the running request. `cancel` (or cancelling the connection from
//   outside) ends it without calling the delegate and releases the requestor.
class NetworkRequestor : public std::enable_shared_from_this<NetworkRequestor> {
public:
    static constexpr const char* kDeviceIdentifierKey = "imei";
    static constexpr size_t kMaximumReplySize = 8u * 1024 * 1024;
    static constexpr const char* kRequestFailedNotification = "NetworkRequestorRequestFailed";

    static std::shared_ptr<NetworkRequestor> create() { return std::shared_ptr<NetworkRequestor>(new NetworkRequestor()); }
    ~NetworkRequestor();
    NetworkRequestor(const NetworkRequestor&) = delete;
    NetworkRequestor& operator=(const NetworkRequestor&) = delete;

    void startPostMethodURLConnection(const std::string& url, const RequestParameters& parameters,
        bool isUserTokenNeeded, std::weak_ptr<NetworkRequestorDelegate> delegate);
    // The same with the user token given rather than the stored one: the logout of a token the
    // device has just replaced by a new login's.
    void startPostMethodURLConnectionWithUserToken(const std::string& url, const RequestParameters& parameters,
        const std::string& userToken, std::weak_ptr<NetworkRequestorDelegate> delegate);

    std::weak_ptr<NetworkRequestorDelegate> delegate() const { return m_delegate; }
    // The reply bytes received so far.
    const pf::Bytes& data() const { return m_data; }
    bool isRunning() const;
    // Ends the running request; the delegate hears nothing of it.
    void cancel();

    // The form body of a parameter map, escaped as described above.
    static std::string formBody(const RequestParameters& parameters);
    static std::string escapeFormText(std::string_view text);
    // Whether a text may go into a header value as it is.
    static bool isSafeHeaderValue(std::string_view value);

private:
    NetworkRequestor() = default;
    void start(const std::string& url, const RequestParameters& parameters, const std::optional<std::string>& userToken,
        std::weak_ptr<NetworkRequestorDelegate> delegate);
    void finish();
    void fail(const pf::UrlError& error);
    void postFailure(int status, const pf::UrlError* error);

    std::shared_ptr<pf::UrlConnection> m_connection;
    std::string m_url;
    int m_status { 0 };
    pf::Bytes m_data;
    std::weak_ptr<NetworkRequestorDelegate> m_delegate;
};
