#pragma once

#include "sdk/lmconnect/apps/MorrowApiInterfaceDelegate.h"
#include "sdk/lmconnect/apps/MorrowLoginDelegate.h"
#include "sdk/lmconnect/openapi/APIResponse.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class MRAPIRequest;
namespace pf {
class ViewController;
}
class MorrowOAuth;

// What the LM Connect session tells its owner (a sign-in's results, as `MorrowLoginDelegate`, and
// everything else below), and the receiver of the Morrow API requests. Every operation has a
// default that does nothing, so an owner overrides what it wants.
//
// The scripts name the result callbacks by text ("getUserInfoResponse:"); such a name reaches
// the owner only through `deliver`, which knows a closed table of names. Any other name reaches
// nobody.
class MorrowSessionDelegate : public MorrowLoginDelegate, public MorrowApiInterfaceDelegate {
public:
    virtual ~MorrowSessionDelegate() = default;

    virtual void morrowDidLogout() { }

    // Re-authorisation. An owner that overrides `morrowDidUpdate` says so in
    // `respondsToMorrowDidUpdate`; only such an owner is asked the two questions below, and
    // none (the default) means it does not answer them.
    virtual bool respondsToMorrowDidUpdate() const { return false; }
    virtual void morrowDidUpdate(const std::shared_ptr<MorrowOAuth>& session) { }
    virtual void morrowFailedUpdate(int reason) { }
    virtual std::optional<bool> morrowNeedPerformIncrAuth(const std::shared_ptr<MorrowOAuth>& session,
        const std::vector<std::string>& permissions) { return std::nullopt; }
    virtual std::optional<bool> morrowNeedPerformReAuth(const std::shared_ptr<MorrowOAuth>& session) { return std::nullopt; }
    // Upload progress of an Open API call of the session, with the call's user data.
    virtual void morrowOAuthDidSendBodyData(const std::shared_ptr<MorrowOAuth>& session, std::int64_t bytesWritten,
        std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite, const pf::Value& userData) { }

    // Replies the LM and LZone apps hand back: a story share, and any API reply whose name is
    // outside the closed table.
    virtual void sendStoryResponse(const std::shared_ptr<APIResponse>& response) { }
    virtual void responseDidReceived(const std::shared_ptr<APIResponse>& response, const std::string& message) { }
    // The avatar upload's result, and the avatar screen a host presented is to go.
    virtual void setUserHeadpicResponse(const std::shared_ptr<APIResponse>& response) { }
    virtual void morrowOAuthDoCloseViewController(const std::shared_ptr<pf::ViewController>& controller) { }

    virtual void getUserInfoResponse(const std::shared_ptr<APIResponse>& response) { }
    virtual void getListAlbumResponse(const std::shared_ptr<APIResponse>& response) { }
    virtual void getListPhotoResponse(const std::shared_ptr<APIResponse>& response) { }
    virtual void addShareResponse(const std::shared_ptr<APIResponse>& response) { }
    virtual void uploadPicResponse(const std::shared_ptr<APIResponse>& response) { }
    virtual void addAlbumResponse(const std::shared_ptr<APIResponse>& response) { }
    virtual void addOneBlogResponse(const std::shared_ptr<APIResponse>& response) { }
    virtual void addTopicResponse(const std::shared_ptr<APIResponse>& response) { }
    virtual void checkPageFansResponse(const std::shared_ptr<APIResponse>& response) { }
    virtual void matchNickTipsResponse(const std::shared_ptr<APIResponse>& response) { }
    virtual void getIntimateFriendsResponse(const std::shared_ptr<APIResponse>& response) { }
    virtual void getVipInfoResponse(const std::shared_ptr<APIResponse>& response) { }
    virtual void getVipRichInfoResponse(const std::shared_ptr<APIResponse>& response) { }
    virtual void cgiRequestDidResponse(const std::shared_ptr<MRAPIRequest>& request, const std::shared_ptr<APIResponse>& response) { }

    using Callback = void (MorrowSessionDelegate::*)(const std::shared_ptr<APIResponse>&);
    // The operation a callback name stands for ("name:" or "name"); none for any other name.
    static std::optional<Callback> callbackNamed(std::string_view name);
    // Calls the named operation; false (nothing called) for a name outside the table.
    bool deliver(std::string_view name, const std::shared_ptr<APIResponse>& response);
};
