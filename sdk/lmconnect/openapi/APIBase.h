#pragma once

#include "sdk/lmconnect/openapi/APIBaseDelegate.h"
#include "sdk/lmconnect/openapi/APIResponse.h"
#include "sdk/lmconnect/openapi/MorrowParams.h"
#include "sdk/lmconnect/openapi/MorrowRequestDelegate.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class MorrowRequest;
class MRAPIRequest;

// Anything that receives the result of an Open API call. The session is one; a call whose
// target is the session may be withheld or removed from the session's table (see APIBase).
class APIBaseTarget {
public:
    virtual ~APIBaseTarget() = default;
};

// One Open API call: the common parameters added to the caller's, one exchange, and the reply
// turned into an APIResponse for the target.
//
// Rules:
// - Every call takes a new number from one process-wide atomic counter: 1, 2, ... never reused.
// - "userData" leaves the parameters and comes back in the response; the SDK information,
//   "format" = "json" and, when given, "oauth_consumer_key", "access_token" and "openid" are
//   added.
// - `retCode` is 0 only for a reply that is a JSON object with at least one key; an array, an
//   empty object or unparsable text give 1 and "服务器返回内容不正确", a failure 1 and the
//   failure's description.
// - A "ret" of 100030 from an address whose last part names a permission asks a session target
//   `morrowNeedPerformIncrAuth` with that permission; a NO withholds the result and removes the
//   call from the session's table. Any other target gets the result as usual.
// - The progress of the exchange goes to the delegate (not owned), when there is one.
// - The target is not owned: the selector runs only while it lives, on the main loop. A call
//   whose target has been taken away (`setTarget({})`) reports nothing.
class APIBase : public MorrowRequestDelegate, public std::enable_shared_from_this<APIBase> {
public:
    using Selector = std::function<void(const std::shared_ptr<APIResponse>&)>;
    static constexpr const char* kParamUserData = "userData";
    static constexpr const char* kParamRetCode = "ret";
    static constexpr int kRetNeedsPermission = 100030;
    static constexpr const char* kBadReplyMessage = "服务器返回内容不正确";

    // `selector` may be empty: no result wanted.
    static std::shared_ptr<APIBase> initWithTarget(std::weak_ptr<APIBaseTarget> target, Selector selector,
        std::string httpMethod, pf::Value userData = pf::Value());
    // The same with a receiver of the exchange's progress (not owned).
    static std::shared_ptr<APIBase> initWithTarget(std::weak_ptr<APIBaseTarget> target, Selector selector,
        std::string httpMethod, std::weak_ptr<APIBaseDelegate> delegate, pf::Value userData);
    ~APIBase() override;
    APIBase(const APIBase&) = delete;
    APIBase& operator=(const APIBase&) = delete;

    static std::int32_t getApiBaseSeq();

    // Sends the call authorised by access token and open id (either may be none).
    std::shared_ptr<MorrowRequest> openUrl(const std::string& url, const std::optional<std::string>& token,
        const std::optional<std::string>& openid, const std::optional<std::string>& appid, MorrowParams params);
    // The same with a session key and user number.
    std::shared_ptr<MorrowRequest> openUrlBySkey(const std::string& url, const std::optional<std::string>& skey,
        const std::optional<std::string>& uin, const std::optional<std::string>& appid, MorrowParams params);
    // Stops the exchange; an attached CGI request is reset and detached.
    void cancel();

    // The last part of the address after trimming "/" and white space at both ends; none for an
    // empty address or one without "/".
    static std::optional<std::string> parsePermissionFromURL(const std::string& url);

    std::int32_t seq() const { return m_seq; }
    const pf::Value& userData() const { return m_userData; }
    const std::string& httpMethod() const { return m_httpMethod; }
    std::shared_ptr<MorrowRequest> request() const { return m_request; }
    void setTarget(std::weak_ptr<APIBaseTarget> target) { m_target = std::move(target); }
    std::shared_ptr<MRAPIRequest> cgiRequest() const { return m_cgiRequest; }
    void setCgiRequest(std::shared_ptr<MRAPIRequest> request) { m_cgiRequest = std::move(request); }

    void requestDidLoad(const std::shared_ptr<MorrowRequest>& request, const pf::Value& result, const pf::Bytes& data) override;
    void requestDidFailWithError(const std::shared_ptr<MorrowRequest>& request, const MorrowError& error) override;
    void requestDidSendBodyData(const std::shared_ptr<MorrowRequest>& request, std::int64_t bytesWritten,
        std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite) override;
    void requestDidWriteData(const std::shared_ptr<MorrowRequest>& request, std::int64_t bytesWritten,
        std::int64_t totalBytesWritten, std::int64_t expectedTotalBytes) override;
    std::shared_ptr<APIBaseDelegate> delegate() const { return m_delegate.lock(); }

private:
    APIBase() = default;
    std::shared_ptr<MorrowRequest> send(const std::string& url, MorrowParams params,
        std::vector<std::pair<const char*, std::optional<std::string>>> credentials);
    std::shared_ptr<APIResponse> newResponse() const;

    std::shared_ptr<MorrowRequest> m_request;
    std::string m_httpMethod;
    std::weak_ptr<APIBaseTarget> m_target;
    std::weak_ptr<APIBaseDelegate> m_delegate;
    Selector m_selector;
    std::int32_t m_seq { 0 };
    pf::Value m_userData;
    std::shared_ptr<MRAPIRequest> m_cgiRequest;
};
