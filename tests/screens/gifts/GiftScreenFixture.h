#pragma once

#include "core/AppInfoConfiguration.h"
#include "platform/foundation/RunLoop.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/ui/Driver.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/UIEnvironment.h"
#include "platform/ui/Window.h"
#include "screens/gifts/GiftCategoryViewController.h"
#include "screens/gifts/GiftPageViewController.h"
#include "screens/gifts/GiftScreenFactory.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// The category screen in a navigation controller in the key window, pointed at a portal.
class GiftScreenFixture : public ::testing::Test {
protected:
    GiftScreenFixture()
    {
        pf::UIEnvironment::reset();
        auto config = AppInfoConfiguration::sharedInstance();
        config->setAppKey("quorvane-sample-key");
        config->setOpenID("quorvane-sample-client");
    }
    ~GiftScreenFixture() override
    {
        GiftScreenFactory::setDetailFactory({});
        window.reset();
        pf::UIEnvironment::reset();
    }

    void usePortal(const std::string& apiBase) { AppInfoConfiguration::sharedInstance()->setApiBaseURL(apiBase); }

    void showCategoryScreen()
    {
        category = std::make_shared<GiftCategoryViewController>();
        navigation = std::make_shared<pf::NavigationController>(category);
        window = std::make_shared<pf::Window>(pf::Rect { 0, 0, 320, 480 });
        window->setRootViewController(navigation);
        window->makeKeyAndVisible();
        driver.settle();
    }

    // Lets every request in flight answer and the screen catch up.
    void settle()
    {
        env.waitForPendingWork();
        driver.settle();
    }

    std::shared_ptr<GiftPageViewController> tab(int index) const { return category->giftPageViewControllers().at(static_cast<size_t>(index)); }

    // Records the detail screens the lists open.
    void recordDetailScreens()
    {
        GiftScreenFactory::setDetailFactory([this](int fid) {
            openedDetails.push_back(fid);
            return std::make_shared<pf::ViewController>();
        });
    }

    pf::TaskEnvironment env;
    pf::Driver driver;
    std::shared_ptr<GiftCategoryViewController> category;
    std::shared_ptr<pf::NavigationController> navigation;
    std::shared_ptr<pf::Window> window;
    std::vector<int> openedDetails;
};
