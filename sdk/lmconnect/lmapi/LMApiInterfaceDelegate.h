#pragma once

#include <map>
#include <memory>
#include <string>

class LMBaseReq;
class LMBaseResp;

// The app's receiver of what the LM app sends; each operation is optional.
class LMApiInterfaceDelegate {
public:
    virtual ~LMApiInterfaceDelegate() = default;
    virtual void onReq(const std::shared_ptr<LMBaseReq>& req) { }
    virtual void onResp(const std::shared_ptr<LMBaseResp>& resp) { }
    // LM number -> "YES" (online) or "NO".
    virtual void isOnlineResponse(const std::map<std::string, std::string>& statuses) { }
};
