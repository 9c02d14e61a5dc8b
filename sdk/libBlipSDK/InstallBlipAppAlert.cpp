#include "sdk/libBlipSDK/InstallBlipAppAlert.h"

#include "platform/foundation/Application.h"
#include "platform/foundation/Url.h"
#include "platform/ui/AlertView.h"
#include "sdk/libBlipSDK/BPBaseRequest.h"
#include "sdk/libBlipSDK/BPBaseResponse.h"
#include "sdk/libBlipSDK/BlipSDK.h"

namespace blip {

std::shared_ptr<InstallBlipAppAlert> InstallBlipAppAlert::alertWithTransferObject(std::shared_ptr<BPDataTransferObject> object)
{
    auto prompt = std::make_shared<InstallBlipAppAlert>();
    prompt->m_object = std::move(object);
    prompt->m_keepAlive = prompt;
    auto alert = std::make_shared<pf::AlertView>("", kMessage, prompt, kCancelTitle, std::vector<std::string> { kDownloadTitle });
    alert->show();
    return prompt;
}

void InstallBlipAppAlert::alertViewWillDismissWithButtonIndex(pf::AlertView& alertView, int buttonIndex)
{
    auto keep = std::move(m_keepAlive);
    auto object = std::move(m_object);
    if (!object)
        return;
    if (buttonIndex != alertView.cancelButtonIndex()) {
        if (auto url = pf::Url::fromString(BlipSDK::hosts().address(BlipSDK::kDownloadPage)))
            pf::Application::shared().openURL(*url);
        object->removeFromPasteboard();
        return;
    }
    if (auto request = std::dynamic_pointer_cast<BPBaseRequest>(object)) {
        auto response = request->makeResponse();
        response->statusCode = BPBaseResponse::kStatusUserCancelInstall;
        response->requestID = request->requestID;
        BlipSDK::directlySendResponseToCurrentApp(response);
    }
}

}
