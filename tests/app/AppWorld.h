#pragma once

// One simulated device for tests of the whole app: the local portal, the local vendor services,
// the stand-in messaging apps, and a launch through the application delegate.

#include "app/QuorvaneAppDelegate.h"
#include "app/Simulator.h"
#include "app/VendorApps.h"
#include "core/AppInfoConfiguration.h"
#include "core/managers/ReminderManager.h"
#include "platform/foundation/HostTable.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/Application.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/ui/Driver.h"
#include "platform/ui/UIEnvironment.h"
#include "platform/ui/Window.h"
#include "sdk/libBlipSDK/BlipSDK.h"
#include "sdk/libParleySDK/PXApi.h"
#include "sdk/stats/TalmerinMobStat.h"
#include "tests/support/PortalTestClient.h"
#include "tools/peers/PeersServer.h"
#include "tools/portal/PortalServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

struct AppWorld {
    AppWorld()
    {
        pf::UIEnvironment::reset();
        EXPECT_TRUE(portal.start());
        peers::addAllVendorServices(peers);
        EXPECT_TRUE(peers.start());
        PortalTestClient::pointAt(portal, portal.apiBaseURL());
        auto config = AppInfoConfiguration::sharedInstance();
        config->setForumBaseURL(portal.rootURL());
        config->setHomePageURL(portal.rootURL());
        pf::HostTable::pointAllAt(peers.rootURL());
    }
    ~AppWorld()
    {
        ReminderManager::sharedInstance()->stopTimer();
        env.waitForPendingWork();
        // The statistics client (and every other singleton) goes while the sandbox is still there.
        pf::ResetRegistry::resetAll();
        if (delegate && delegate->window())
            delegate->window()->setHidden(true);
        delegate.reset();
        pf::Application::shared().reset();
        pf::UIEnvironment::reset();
        env.runUntilIdle();
    }

    // Installs the named stand-ins and launches the app as the system does.
    void launch(const std::vector<std::string>& vendorApps = { "parley", "blip", "lm", "lzone" })
    {
        apps.install(vendorApps);
        delegate = std::make_shared<QuorvaneAppDelegate>();
        pf::Application::shared().setDelegate(delegate);
        pf::Application::shared().finishLaunching();
        pf::Driver().settle();
    }
    // Runs the loop until nothing is in flight (replies, other apps' answers, queued work).
    void settle()
    {
        env.waitForPendingWork();
        env.runUntilIdle();
        pf::Driver().settle();
    }

    pf::TaskEnvironment env;
    portal::PortalServer portal;
    peers::PeersServer peers;
    VendorApps apps;
    std::shared_ptr<QuorvaneAppDelegate> delegate;
};
