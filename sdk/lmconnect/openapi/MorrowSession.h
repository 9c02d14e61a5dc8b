#pragma once

#include "sdk/lmconnect/openapi/APIBase.h"
#include "sdk/lmconnect/openapi/MRAPIRequest.h"
#include "sdk/lmconnect/openapi/MRAPIRequestDelegate.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// What an Open API call needs of the LM Connect session: its credentials, the answer to a
// missing permission, and the table of CGI calls in flight, which it owns.
//
// Rules:
// - A CGI request is sent only while the session and its open id are valid, and only once; the
//   call stays in the table, under the text of its number, until its reply is handled or it is
//   cancelled.
// - Main thread only.
class MorrowSession : public APIBaseTarget, public std::enable_shared_from_this<MorrowSession> {
public:
    ~MorrowSession() override = default;

    virtual std::string accessToken() const = 0;
    virtual std::string openId() const = 0;
    virtual std::string appId() const = 0;
    virtual bool isSessionValid() const = 0;
    virtual bool isOpenIdValid() const = 0;
    // Asked when a call's reply says the app lacks `permissions`; answers whether the reply
    // still reaches its receiver.
    virtual bool morrowNeedPerformIncrAuth(const std::vector<std::string>& permissions) = 0;

    // A request for the address and method with the entries of `params`, sent at once; none
    // when sending was refused.
    std::shared_ptr<MRAPIRequest> cgiRequestWithURL(const std::string& url, const std::string& method,
        const MorrowParams& params, std::weak_ptr<MRAPIRequestDelegate> callback);
    bool sendAPIRequest(const std::shared_ptr<MRAPIRequest>& request, std::weak_ptr<MRAPIRequestDelegate> callback);
    // The reply of a CGI call: converted, handed to its request, and the call leaves the table.
    void onCGIRequestDidResponse(const std::shared_ptr<APIResponse>& response);
    // The call under `key` stops and leaves the table without reporting.
    void cancelWithRequestKey(const std::string& key);
    // Cancels the first call of the table (in key order) whose user data equals `userData` and
    // removes it; false when none matches.
    bool cancel(const pf::Value& userData);
    // The call under `key` leaves the table; its request forgets key and session.
    void deleteAPIRequestBySeq(const std::string& key);

    const std::map<std::string, std::shared_ptr<APIBase>>& apiRequests() const { return m_apiRequests; }
    // Enters a call made for the scripts under the text of its number.
    void addAPIRequest(const std::shared_ptr<APIBase>& call);

protected:
    MorrowSession() = default;

private:
    std::map<std::string, std::shared_ptr<APIBase>> m_apiRequests;
};
