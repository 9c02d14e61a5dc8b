#pragma once

#include "sdk/lmconnect/openapi/MorrowError.h"
#include "sdk/lmconnect/openapi/MorrowParams.h"
#include "sdk/lmconnect/openapi/MorrowRequestDelegate.h"

#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pf {
class UrlConnection;
class UrlRequest;
}

// One HTTP exchange of the LM Connect client, on the main run loop.
//
// Rules:
// - A GET carries its text parameters as a query: "?" (or "&" when the address has a query
//   already) and key=value pairs, values escaped as UTF-8 together with
//   "!*'();:@&=+$,/?%#[]"; the separator is there even without pairs. Files never go in a query.
// - A POST of texts only is one form body written the same way (no content type is set). One
//   image or data value makes it multipart: text parts first, then the file parts, each labelled
//   "image/jpeg" (images as JPEG of quality 0.4) and named "picture", or after a non-empty text
//   "filename" entry, which is not sent itself. Other methods send no body.
// - Fixed headers: "User-Agent: MorrowConnect" and, when "skey" and "uin" are non-empty texts,
//   "Cookie: _uin=<uin>;_oskey=<skey>". Headers set by the caller come last and replace them.
// - Any status is a reply: a 500 with a JSON body is parsed like a 200. The reply is decoded as
//   UTF-8, else as GB18030, then parsed (`parseJsonResponse`).
// - A reply is read up to `kMaximumReplySize` bytes unless the caller sets another largest size;
//   a longer one fails while it arrives (`requestDidFailWithError`), as a dropped one does.
// - Upload and download progress reach the delegate while the exchange runs.
// - The delegate is not owned. A running exchange keeps itself alive until it ends; after
//   `cancel` nothing more is reported.
class MorrowRequest : public std::enable_shared_from_this<MorrowRequest> {
public:
    static constexpr const char* kBoundary = "od2ER5ioefd682HE14eh2n82n9M7rEu2nH85XQY1";
    static constexpr const char* kUserAgent = "MorrowConnect";
    static constexpr double kTimeout = 60;
    static constexpr double kJpegQuality = 0.4;
    static constexpr const char* kFileNameKey = "filename";
    static constexpr const char* kDefaultFileName = "picture";
    // The request layer's extra characters to escape in a value.
    static constexpr const char* kEscapedCharacters = "!*'();:@&=+$,/?%#[]";
    // An Open API reply is a JSON object of a few KB (an open id, a user's details, a short
    // list); 1 MB leaves room for the longest lists the scripts ask for.
    static constexpr size_t kMaximumReplySize = 1u << 20;

    struct ParsedReply {
        pf::Value result; // missing when there is none
        std::optional<MorrowError> error;
    };

    static std::shared_ptr<MorrowRequest> getRequestWithParams(MorrowParams params, std::string httpMethod,
        std::weak_ptr<MorrowRequestDelegate> delegate, std::string requestURL);
    ~MorrowRequest();
    MorrowRequest(const MorrowRequest&) = delete;
    MorrowRequest& operator=(const MorrowRequest&) = delete;

    void connect();
    // Starts an exchange for a request made by the caller; the parameters are not used.
    void connectWithRequest(const pf::UrlRequest& request);
    void cancel();
    bool loading() const { return m_connection != nullptr; }

    static std::string serializeURL(const std::string& url, const MorrowParams& params, const std::string& httpMethod = "GET");
    static std::string escapeValue(std::string_view text);
    // The multipart body and the form body of the current parameters.
    pf::Bytes generatePostBody() const;
    static void utfAppendBodyData(pf::Bytes& body, std::string_view text);
    std::string generateOtherPostBody() const;

    // UTF-8, else GB18030; none when the bytes are neither.
    static std::optional<std::string> decodeReplyText(const pf::Bytes& data);
    // "true" is {"result": "true"}; "false", an object with "error" or "error_code" is an error
    // without result; an object with "error_msg" or "error_reason" is a result with an error;
    // text that does not parse is neither.
    static ParsedReply parseJsonResponse(const pf::Bytes& data);

    std::weak_ptr<MorrowRequestDelegate> delegate() const { return m_delegate; }
    void setDelegate(std::weak_ptr<MorrowRequestDelegate> delegate) { m_delegate = std::move(delegate); }
    const std::string& url() const { return m_url; }
    const std::string& httpMethod() const { return m_httpMethod; }
    MorrowParams& params() { return m_params; }
    const MorrowParams& params() const { return m_params; }
    std::vector<std::pair<std::string, std::string>>& httpHeaders() { return m_httpHeaders; }
    const pf::Bytes& responseText() const { return m_responseText; }
    // A reply longer than this fails as too long instead of being read whole (set before
    // `connect`); `kMaximumReplySize` until set.
    void setMaximumResponseSize(size_t bytes) { m_maxResponseSize = bytes; }

private:
    MorrowRequest() = default;
    pf::UrlRequest makeUrlRequest() const;
    void handleResponseData();
    void failWithError(const MorrowError& error);

    std::weak_ptr<MorrowRequestDelegate> m_delegate;
    std::string m_url;
    std::string m_httpMethod;
    MorrowParams m_params;
    std::vector<std::pair<std::string, std::string>> m_httpHeaders;
    std::shared_ptr<pf::UrlConnection> m_connection;
    pf::Bytes m_responseText;
    size_t m_maxResponseSize { kMaximumReplySize };
};
