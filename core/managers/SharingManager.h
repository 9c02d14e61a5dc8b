#pragma once

#include "core/records/GiftDetailInfo.h"
#include "sdk/lmconnect/apps/MorrowSessionDelegate.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class MorrowOAuth;

namespace blip {
class BPMessageObject;
}

// Shares a gift with the messaging apps on the device: a Parley chat session or the Parley
// timeline at once; LZone (through LM) and Blip once the vendor has authorised the app. The
// share sheet hands it the gift and the data type; it builds the vendor's message from the gift
// and its picture and gives it to the vendor's client library. It is also the LM Connect
// session's delegate, so a finished LM authorisation sends the LZone share it holds.
//
// Rules:
// - Data type 11 (`kGiftDetailDataType`) means the first item is the gift to share; any other
//   type (or no item) shares an empty message. The gift's title and address go into the
//   message without NUL characters, which no app's stored message can hold.
// - The gift's picture ("litpic") is fetched, http and https only, with a time-out and a size
//   limit, and the message goes out when the fetch has answered; the main loop runs meanwhile.
//   A failed fetch sends the message without a picture.
// - LZone and Blip each hold at most one pending share: a newer one of the same kind replaces
//   it, and it is given up the moment it is sent, so a later authorisation sends nothing again.
//   An authorisation that fails or is cancelled leaves it to be replaced.
// - Main thread only. Made on first use; a test's fresh device (ResetRegistry) starts afresh.
class SharingManager : public MorrowSessionDelegate, public std::enable_shared_from_this<SharingManager> {
public:
    static constexpr int kGiftDetailDataType = 11;
    // The Parley share type of a chat session; any other sends to the timeline.
    static constexpr int kParleySessionShareType = 1;
    static constexpr int kParleyTimelineShareType = 2;
    // The picture of a share: at most this long to come and this large.
    static constexpr double kPictureTimeout = 10;
    static constexpr size_t kPictureMaxBytes = 2 * 1024 * 1024;

    static constexpr const char* kBlipScope = "all";
    static constexpr const char* kBlipMessageFrom = "SendMessageToBlipViewController";

    // The LM Connect permissions an LZone share asks for, in the order asked.
    static const std::vector<std::string>& lmPermissions();
    // The extras the Blip client carries with the authorisation and with the share.
    static pf::Dictionary blipAuthorizeUserInfo();
    static pf::Dictionary blipShareUserInfo();

    static std::shared_ptr<SharingManager> sharedInstance();
    ~SharingManager() override;

    // Makes the LM Connect session for the app's LZone id, with this manager as its delegate.
    void doPlatformInit();

    void sharingWithParley(const GiftDetailInfo::List& items, int parleyShareType, int sharingDataType);
    void sharingWithLzone(const GiftDetailInfo::List& items, int sharingDataType);
    void doShareWithLzone();
    void sharingWithBlip(const GiftDetailInfo::List& items, int sharingDataType);
    void doShareWithBlip();
    // The Blip message of a share, once the picture has been fetched.
    void messageToShare(const GiftDetailInfo::List& items, int sharingDataType,
        std::function<void(std::shared_ptr<blip::BPMessageObject>)> done);

    // MorrowSessionDelegate: a finished LM authorisation sends the pending LZone share; a
    // failed or cancelled one, or no network, sends nothing.
    void morrowDidLogin() override;
    void morrowDidNotLogin(bool cancelled) override;
    void morrowDidNotNetWork() override;
    // Asks `session` for the permissions again, adding them to the current ones; answers false
    // (the share waits for the next authorisation).
    std::optional<bool> morrowNeedPerformIncrAuth(const std::shared_ptr<MorrowOAuth>& session,
        const std::vector<std::string>& permissions) override;
    // "api调用失败": the authorisation has probably expired.
    void showInvalidTokenOrOpenIDMessage();

    std::shared_ptr<MorrowOAuth> morrowOAuth() const { return m_morrowOAuth; }

    struct PendingShare {
        GiftDetailInfo::List items;
        int sharingDataType { 0 };
    };
    const std::optional<PendingShare>& pendingLzoneShare() const { return m_pendingLzone; }
    const std::optional<PendingShare>& pendingBlipShare() const { return m_pendingBlip; }

private:
    SharingManager() = default;
    static std::shared_ptr<GiftDetailInfo> giftOf(const GiftDetailInfo::List& items, int sharingDataType);
    // Fetches the gift's picture (none for no gift or no address) and then calls `then`.
    void withPicture(const std::shared_ptr<GiftDetailInfo>& gift, std::function<void(std::optional<pf::Bytes>)> then);

    std::shared_ptr<MorrowOAuth> m_morrowOAuth;
    std::optional<PendingShare> m_pendingLzone;
    std::optional<PendingShare> m_pendingBlip;
};
