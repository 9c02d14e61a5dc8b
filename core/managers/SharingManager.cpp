#include "core/managers/SharingManager.h"

#include "core/AppInfoConfiguration.h"
#include "core/ContentFetcher.h"
#include "core/PlatformInfo.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/TextEncoding.h"
#include "platform/ui/AlertView.h"
#include "sdk/libBlipSDK/BPAuthorizeRequest.h"
#include "sdk/libBlipSDK/BPMessageObject.h"
#include "sdk/libBlipSDK/BPSendMessageToBlipRequest.h"
#include "sdk/libBlipSDK/BlipSDK.h"
#include "sdk/libParleySDK/PXApi.h"
#include "sdk/libParleySDK/PXMediaMessage.h"
#include "sdk/libParleySDK/SendMessageToPXReq.h"
#include "sdk/lmconnect/MorrowOAuth.h"
#include "sdk/lmconnect/lmapi/LMApiInterface.h"
#include "sdk/lmconnect/lmapi/LMApiNewsObject.h"
#include "sdk/lmconnect/lmapi/SendMessageToLMReq.h"

namespace {

std::shared_ptr<SharingManager>& instanceSlot()
{
    static std::shared_ptr<SharingManager> instance;
    return instance;
}

RecordText withoutNul(const RecordText& text)
{
    return text.hasText() ? RecordText(pf::TextEncoding::withoutNul(text.text())) : text;
}

pf::Dictionary blipCommonUserInfo()
{
    return pf::Dictionary { { "Other_Info_1", 123 }, { "Other_Info_2", pf::Array { "obj1", "obj2" } },
        { "Other_Info_3", pf::Dictionary { { "key1", "obj1" }, { "key2", "obj2" } } } };
}

}

const std::vector<std::string>& SharingManager::lmPermissions()
{
    static const std::vector<std::string> permissions { "get_user_info", "get_simple_userinfo", "add_album", "add_idol",
        "add_one_blog", "add_pic_t", "add_share", "add_topic", "check_page_fans", "del_idol", "del_t", "get_fanslist",
        "get_idollist", "get_info", "get_other_info", "get_repost_list", "list_album", "upload_pic", "get_vip_info",
        "get_vip_rich_info", "get_intimate_friends_blip", "match_nick_tips_blip" };
    return permissions;
}

pf::Dictionary SharingManager::blipAuthorizeUserInfo()
{
    pf::Dictionary info { { "SSO_From", kBlipMessageFrom } };
    for (const auto& [key, value] : blipCommonUserInfo())
        info.set(key, value);
    return info;
}

pf::Dictionary SharingManager::blipShareUserInfo()
{
    pf::Dictionary info { { "ShareMessageFrom", kBlipMessageFrom } };
    for (const auto& [key, value] : blipCommonUserInfo())
        info.set(key, value);
    return info;
}

std::shared_ptr<SharingManager> SharingManager::sharedInstance()
{
    auto& slot = instanceSlot();
    if (!slot) {
        static bool registered = false;
        if (!registered) {
            registered = true;
            // A test's fresh device gets a fresh manager, with a session for its bundle.
            pf::ResetRegistry::add([] { instanceSlot().reset(); });
        }
        slot.reset(new SharingManager());
        slot->doPlatformInit();
    }
    return slot;
}

SharingManager::~SharingManager() = default;

void SharingManager::doPlatformInit()
{
    m_morrowOAuth = MorrowOAuth::initWithAppIdAndDelegate(PlatformInfo::sharedInstance()->lZoneAppID(), weak_from_this());
}

std::shared_ptr<GiftDetailInfo> SharingManager::giftOf(const GiftDetailInfo::List& items, int sharingDataType)
{
    if (sharingDataType != kGiftDetailDataType || items.empty() || !items.front())
        return nullptr;
    // Every app's message is stored as a property list or keyed archive, which refuses a text
    // holding a NUL: the whole share would be lost. The texts the messages carry go without it.
    auto gift = std::make_shared<GiftDetailInfo>(*items.front());
    gift->setTitle(withoutNul(gift->title()));
    gift->setArcurl(withoutNul(gift->arcurl()));
    return gift;
}

void SharingManager::withPicture(const std::shared_ptr<GiftDetailInfo>& gift, std::function<void(std::optional<pf::Bytes>)> then)
{
    if (!gift || gift->litpic().text().empty()) {
        then(std::nullopt);
        return;
    }
    ContentFetcher::fetchContentsOfAddressLater(gift->litpic().text(), std::move(then), kPictureTimeout, kPictureMaxBytes);
}

void SharingManager::sharingWithParley(const GiftDetailInfo::List& items, int parleyShareType, int sharingDataType)
{
    auto gift = giftOf(items, sharingDataType);
    int scene = parleyShareType == kParleySessionShareType ? parley::SendMessageToPXReq::SceneSession : parley::SendMessageToPXReq::SceneTimeline;
    withPicture(gift, [gift, scene](std::optional<pf::Bytes> picture) {
        auto request = std::make_shared<parley::SendMessageToPXReq>();
        request->bText = false;
        request->message = gift ? gift->pxMediaMessageFromInfo(picture) : parley::PXMediaMessage::message();
        request->scene = scene;
        parley::PXApi::sendReq(request);
    });
}

void SharingManager::sharingWithLzone(const GiftDetailInfo::List& items, int sharingDataType)
{
    m_pendingLzone = PendingShare { items, sharingDataType };
    if (m_morrowOAuth)
        m_morrowOAuth->authorizeInSafari(lmPermissions(), false);
}

void SharingManager::doShareWithLzone()
{
    if (!m_pendingLzone)
        return;
    auto share = std::move(*m_pendingLzone);
    m_pendingLzone.reset();
    auto gift = giftOf(share.items, share.sharingDataType);
    withPicture(gift, [gift](std::optional<pf::Bytes> picture) {
        auto request = SendMessageToLMReq::reqWithContent(gift ? gift->lmApiNewsFromInfo(picture) : nullptr);
        int code = LMApiInterface::sendReq(request);
        pf::Log::format("LMApiSendResultCode = %d", code);
    });
}

void SharingManager::sharingWithBlip(const GiftDetailInfo::List& items, int sharingDataType)
{
    m_pendingBlip = PendingShare { items, sharingDataType };
    auto request = blip::BPAuthorizeRequest::request();
    request->redirectURI = AppInfoConfiguration::sharedInstance()->homePageURL();
    request->scope = kBlipScope;
    request->userInfo = blipAuthorizeUserInfo();
    blip::BlipSDK::sendRequest(request);
}

void SharingManager::doShareWithBlip()
{
    if (!m_pendingBlip)
        return;
    auto share = std::move(*m_pendingBlip);
    m_pendingBlip.reset();
    messageToShare(share.items, share.sharingDataType, [](std::shared_ptr<blip::BPMessageObject> message) {
        auto request = blip::BPSendMessageToBlipRequest::requestWithMessage(std::move(message));
        request->userInfo = blipShareUserInfo();
        blip::BlipSDK::sendRequest(request);
    });
}

void SharingManager::messageToShare(const GiftDetailInfo::List& items, int sharingDataType,
    std::function<void(std::shared_ptr<blip::BPMessageObject>)> done)
{
    auto gift = giftOf(items, sharingDataType);
    withPicture(gift, [gift, done = std::move(done)](std::optional<pf::Bytes> picture) {
        done(gift ? gift->bpMessageFromInfo(picture) : blip::BPMessageObject::message());
    });
}

void SharingManager::morrowDidLogin()
{
    doShareWithLzone();
}

void SharingManager::morrowDidNotLogin(bool)
{
}

void SharingManager::morrowDidNotNetWork()
{
}

std::optional<bool> SharingManager::morrowNeedPerformIncrAuth(const std::shared_ptr<MorrowOAuth>& session,
    const std::vector<std::string>& permissions)
{
    if (session)
        session->incrAuthWithPermissions(permissions);
    return false;
}

void SharingManager::showInvalidTokenOrOpenIDMessage()
{
    auto alert = std::make_shared<pf::AlertView>("api调用失败", "可能授权已过期，请重新获取", std::weak_ptr<pf::AlertViewDelegate>(), "OK");
    alert->show();
}
