#pragma once

// A fresh device for the LM Connect tests: the vendor-services server started and the client
// pointed at it, no pasteboards or other apps, and `delegate` as the application's delegate
// with `replyScheme` as the app's URL type.

#include "sdk/lmconnect/openapi/MorrowHostConfig.h"

#include "platform/foundation/AppRegistry.h"
#include "platform/foundation/Application.h"
#include "platform/foundation/ApplicationDelegate.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/HostTable.h"
#include "platform/foundation/Pasteboard.h"
#include "tools/peers/PeersServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

inline void prepareVendorDevice(peers::PeersServer& server, const std::shared_ptr<pf::ApplicationDelegate>& delegate,
    const std::string& replyScheme)
{
    peers::addAllVendorServices(server);
    EXPECT_TRUE(server.start());
    pf::HostTable::pointAllAt(server.rootURL());
    pf::Pasteboard::resetAll();
    pf::AppRegistry::shared().removeAll();
    pf::Application::shared().reset();
    pf::Application::shared().setDelegate(delegate);
    pf::Bundle::main()->setInfoValue("CFBundleURLTypes", pf::Array { pf::Dictionary { { "CFBundleURLSchemes", pf::Array { replyScheme } } } });
}
