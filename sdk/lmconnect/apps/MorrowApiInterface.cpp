#include "sdk/lmconnect/apps/MorrowApiInterface.h"

#include "sdk/lmconnect/host/MorrowDataMgr.h"

#include "sdk/lmconnect/apps/MorrowApiInterfaceDelegate.h"
#include "sdk/lmconnect/apps/MorrowApiResp.h"
#include "sdk/lmconnect/apps/MorrowMessagePack.h"
#include "sdk/lmconnect/apps/MorrowMessageParse.h"

#include "platform/foundation/Application.h"
#include "platform/foundation/Url.h"

bool MorrowApiInterface::canOpenURL(const pf::Url& url) { return MorrowMessageParse::isMorrowApiAddress(url); }

bool MorrowApiInterface::handleOpenURL(const pf::Url& url, const std::shared_ptr<MorrowApiInterfaceDelegate>& delegate)
{
    auto message = MorrowMessageParse::parseMorrowMessage(url);
    if (auto* req = std::get_if<std::shared_ptr<MorrowApiReq>>(&message)) {
        if (delegate && !delegate->onMorrowReq(*req)) {
            auto resp = MorrowApiResp::respFromReq(*req);
            resp->nRetCode = -1;
            sendRespMessageToMorrowApp(resp);
        }
        return true;
    }
    return false;
}

int MorrowApiInterface::sendRespMessageToMorrowApp(const std::shared_ptr<MorrowApiResp>& resp)
{
    if (!resp)
        return -1;
    if (!resp->objReq || resp->objReq->nPlatform != 1)
        return 0;
    if (!isMorrowAppInstall(1))
        return 1;
    if (!isMorrowAppSupportMorrowApi(1))
        return 2;
    if (!MorrowMessagePack::messageVaild(resp->objReq))
        return 3;
    pf::Bytes data = MorrowMessagePack::dataWithMorrowRespMessage(*resp);
    if (data.empty() || data.size() > kMaxArchiveBytes)
        return 3;
    auto address = MorrowMessagePack::packMorrowRespMessage(data, 1);
    auto url = address ? pf::Url::fromString(*address) : std::nullopt;
    return url && pf::Application::shared().openURL(*url) ? 0 : 4;
}

bool MorrowApiInterface::openThirdApp(const std::string& appId)
{
    auto url = pf::Url::fromString("morrow" + appId + ".content://");
    return url && pf::Application::shared().openURL(*url);
}

void MorrowApiInterface::registApp(const std::string& appId)
{
    MorrowDataMgr::getInstance().setAppId(appId);
}

bool MorrowApiInterface::isMorrowAppInstall(int appType)
{
    if (appType == 0)
        return pf::Application::shared().canOpenURL("mlm://");
    if (appType == 1)
        return pf::Application::shared().canOpenURL("mlzone://");
    return false;
}

bool MorrowApiInterface::isMorrowAppSupportMorrowApi(int appType)
{
    if (appType == 0)
        return pf::Application::shared().canOpenURL(std::string(MorrowMessagePack::kLMSupportSDK) + "://");
    if (appType == 1)
        return pf::Application::shared().canOpenURL(std::string(MorrowMessagePack::kLZoneSupportSDK) + "://");
    return false;
}
