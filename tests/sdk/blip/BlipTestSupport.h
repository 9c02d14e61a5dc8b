#pragma once

#include "platform/foundation/Application.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Url.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/ui/UIEnvironment.h"
#include "platform/ui/Window.h"
#include "sdk/libBlipSDK/BPAuthorizeResponse.h"
#include "sdk/libBlipSDK/BPAuthorizeWebView.h"
#include "sdk/libBlipSDK/BPBaseRequest.h"
#include "sdk/libBlipSDK/BlipSDK.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace blip::test {

constexpr const char* kAppKey = "2045436852";

// Plays the application delegate: URLs from Blip go to the library, which reports here.
class AppDelegate : public pf::ApplicationDelegate, public BlipSDKDelegate {
public:
    bool openURL(pf::Application&, const pf::Url& url, const std::string& source) override
    {
        if (source != BlipSDK::kBlipBundleIdentifier)
            return false;
        return BlipSDK::handleOpenURL(url, self.lock());
    }
    void didReceiveBlipRequest(const std::shared_ptr<BPBaseRequest>& request) override { requests.push_back(request); }
    void didReceiveBlipResponse(const std::shared_ptr<BPBaseResponse>& response) override
    {
        responses.push_back(response);
        if (onResponse)
            onResponse(response);
    }

    std::weak_ptr<AppDelegate> self;
    std::vector<std::shared_ptr<BPBaseRequest>> requests;
    std::vector<std::shared_ptr<BPBaseResponse>> responses;
    std::function<void(const std::shared_ptr<BPBaseResponse>&)> onResponse;
};

// The authorisation dialog shown over a view, if any.
inline std::shared_ptr<BPAuthorizeWebView> findDialog(const std::shared_ptr<pf::View>& view)
{
    if (auto dialog = std::dynamic_pointer_cast<BPAuthorizeWebView>(view))
        return dialog;
    for (const auto& sub : view->subviews()) {
        if (auto found = findDialog(sub))
            return found;
    }
    return nullptr;
}

// A fresh device with the app's scheme, a window and the delegate in place.
struct BlipWorld {
    BlipWorld()
    {
        pf::UIEnvironment::reset();
        pf::Bundle::main()->setInfoValue("CFBundleURLTypes",
            pf::Array { pf::Dictionary { { "CFBundleURLSchemes", pf::Array { std::string("bp") + kAppKey } } } });
        delegate = std::make_shared<AppDelegate>();
        delegate->self = delegate;
        pf::Application::shared().setDelegate(delegate);
        window = std::make_shared<pf::Window>(pf::Rect(0, 0, 320, 480));
        window->makeKeyAndVisible();
    }
    ~BlipWorld() { pf::UIEnvironment::reset(); }

    pf::TaskEnvironment env;
    std::shared_ptr<AppDelegate> delegate;
    std::shared_ptr<pf::Window> window;
};

}
