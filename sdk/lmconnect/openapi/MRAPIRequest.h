#pragma once

#include "sdk/lmconnect/openapi/APIResponse.h"
#include "sdk/lmconnect/openapi/MRAPIRequestDelegate.h"
#include "sdk/lmconnect/openapi/MorrowHostConfig.h"
#include "sdk/lmconnect/openapi/MorrowParams.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include <string_view>

class MorrowSession;

// A CGI request: an address, a method and a dictionary of parameters, sent once through a
// session (`MorrowSession::sendAPIRequest`) and answered at most once.
//
// Rules:
// - The state changes only by compare-and-swap: idle to loading (`tryLoad`), idle or loading
//   to cancelled (`cancel`), loading to done (the response). Cancelled and done are final, so a
//   cancel racing a response gives one outcome at most.
// - A second response is stored with the first's reply object nested under "jsonResponse"; it
//   reaches nobody.
// - The session and the callback are not owned.
//
// A declared request type is a subclass of `MRAPIRequestType` naming its path (below the connect
// CGI host) and its method, checked when it compiles; its typed accessors read and write entries
// through `paramValue` and `setParamValue`.
class MRAPIRequest : public std::enable_shared_from_this<MRAPIRequest> {
public:
    enum State : std::int32_t { Idle = 0, Loading = 1, Cancelled = 2, Done = 3 };
    static constexpr const char* kUserDataKey = "userData";

    // No address: such a request is refused when sent.
    static std::shared_ptr<MRAPIRequest> init();
    static std::shared_ptr<MRAPIRequest> initWithURL(std::string url, std::string method);
    // Both lists are ignored: an empty request, as `init` gives.
    static std::shared_ptr<MRAPIRequest> initWithObjectsForKeys(const std::vector<MorrowParam>& objects,
        const std::vector<std::string>& keys) { return init(); }
    virtual ~MRAPIRequest() = default;
    MRAPIRequest(const MRAPIRequest&) = delete;
    MRAPIRequest& operator=(const MRAPIRequest&) = delete;

    // The dictionary.
    void setObject(std::string key, MorrowParam value) { m_params.set(std::move(key), std::move(value)); }
    void removeObjectForKey(std::string_view key) { m_params.remove(key); }
    size_t count() const { return m_params.size(); }
    const MorrowParam* objectForKey(std::string_view key) const { return m_params.find(key); }
    const MorrowParams& params() const { return m_params; }
    // The keys, in the dictionary's order.
    std::vector<std::string> keyEnumerator() const;

    // Kept here and mirrored into the entry "userData" (removed for none).
    void setParamUserData(pf::Value userData);
    const pf::Value& paramUserData() const { return m_paramUserData; }

    bool tryLoad();
    void cancel();
    // Forgets the session, the key and the callback.
    void reset();
    void apiBaseDidResponse(const std::shared_ptr<APIResponse>& response);
    // Stores the response as `apiBaseDidResponse` does, without changing the state or telling anyone.
    void responseProcess(const std::shared_ptr<APIResponse>& response);

    State state() const { return static_cast<State>(m_state.load()); }
    const std::string& apiURL() const { return m_apiURL; }
    const std::string& method() const { return m_method; }
    const std::optional<std::string>& requestKey() const { return m_requestKey; }
    void setRequestKey(std::optional<std::string> key) { m_requestKey = std::move(key); }
    std::shared_ptr<MorrowSession> morrowOAuth() const { return m_morrowOAuth.lock(); }
    void setMorrowOAuth(std::weak_ptr<MorrowSession> session) { m_morrowOAuth = std::move(session); }
    std::shared_ptr<MRAPIRequestDelegate> callback() const { return m_callback.lock(); }
    void setCallback(std::weak_ptr<MRAPIRequestDelegate> callback) { m_callback = std::move(callback); }
    std::shared_ptr<APIResponse> response() const { return m_response; }

protected:
    MRAPIRequest() = default;
    void setAddress(std::string url, std::string method);
    // For typed accessors: the entry, or none; none as a value removes the entry.
    std::optional<MorrowParam> paramValue(std::string_view name) const;
    void setParamValue(std::string name, std::optional<MorrowParam> value);
    std::optional<std::string> textParam(std::string_view name) const;

private:
    bool swapState(State from, State to);

    std::atomic<std::int32_t> m_state { Idle };
    std::string m_apiURL;
    std::string m_method;
    pf::Value m_paramUserData;
    MorrowParams m_params;
    std::optional<std::string> m_requestKey;
    std::weak_ptr<MorrowSession> m_morrowOAuth;
    std::weak_ptr<MRAPIRequestDelegate> m_callback;
    std::shared_ptr<APIResponse> m_response;
};

namespace mrapi_detail {
constexpr bool isCgiMethod(std::string_view method)
{
    return method == "GET" || method == "POST";
}
}

// The base of a declared CGI request type:
//
//   class GetInfoRequest : public MRAPIRequestType<GetInfoRequest> {
//   public:
//       static constexpr std::string_view kPath = "user/get_info";
//       static constexpr std::string_view kMethod = "GET";
//       std::optional<std::string> format() const { return textParam("format"); }
//       void setFormat(std::optional<std::string> v) { setParamValue("format", toParam(v)); }
//   };
//
// `create()` gives a request for the connect CGI host's address plus the path.
template <typename Derived>
class MRAPIRequestType : public MRAPIRequest {
public:
    static std::shared_ptr<Derived> create()
    {
        static_assert(mrapi_detail::isCgiMethod(Derived::kMethod), "a CGI request is sent with GET or POST");
        static_assert(!Derived::kPath.empty() && Derived::kPath.front() != '/', "a CGI path is relative to the CGI host");
        auto request = std::shared_ptr<Derived>(new Derived());
        request->setAddress(APIBaseURL() + std::string(Derived::kPath), std::string(Derived::kMethod));
        return request;
    }
    static std::string APIBaseURL() { return MorrowHostConfig::shared().cgiBase(); }
    static std::string APIPath() { return std::string(Derived::kPath); }
    static std::string APIMethod() { return std::string(Derived::kMethod); }

protected:
    MRAPIRequestType() = default;
    template <typename T>
    static std::optional<MorrowParam> toParam(const std::optional<T>& value)
    {
        if (!value)
            return std::nullopt;
        return MorrowParam(*value);
    }
};
