#pragma once

// Screens against the local portal: a navigation controller in the key window over a plain
// first screen, the client pointed at an in-process portal, and a record of the login
// notifications.

#include "core/views/AdaptedViewController.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Driver.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/UIEnvironment.h"
#include "platform/ui/Window.h"
#include "tests/support/PortalTestClient.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class PortalScreenFixture : public ::testing::Test {
protected:
    struct Posted {
        std::string name;
        pf::Value object;
    };

    PortalScreenFixture()
    {
        pf::UIEnvironment::reset();
        EXPECT_TRUE(portal.start());
        useApi(portal.apiBaseURL());
        LoginManager::sharedInstance();
        for (const char* name : { "UserLogin", "UserNotLogin" }) {
            pf::NotificationCenter::defaultCenter().addObserver(m_owner, name,
                [this](const pf::Notification& n) { posted.push_back({ n.name, n.object }); });
        }
    }
    ~PortalScreenFixture() override
    {
        if (navigation)
            navigation->setViewControllers({ root }, false);
        window.reset();
        pf::UIEnvironment::reset();
    }

    void useApi(const std::string& apiBase) { PortalTestClient::pointAt(portal, apiBase); }

    void showRoot()
    {
        root = std::make_shared<AdaptedViewController>();
        root->setTitle("首页");
        navigation = std::make_shared<pf::NavigationController>(root);
        window = std::make_shared<pf::Window>(pf::Rect { 0, 0, 320, 480 });
        window->setRootViewController(navigation);
        window->makeKeyAndVisible();
        driver.settle();
    }

    // Pushes a screen and lets its transition end.
    void push(const std::shared_ptr<pf::ViewController>& screen)
    {
        navigation->pushViewController(screen, true);
        driver.advance(pf::NavigationController::TransitionDuration + 0.05);
    }

    // Lets every request in flight answer and the screens catch up.
    void settle()
    {
        for (int i = 0; i < 3; ++i) {
            env.waitForPendingWork();
            driver.settle();
        }
    }

    // Logs in on the portal directly and stores the token, as a login screen would.
    std::string storeTokenOf(const std::string& user, const std::string& password)
    {
        std::string token = PortalTestClient::storeTokenOf(env, user, password);
        portal.clearReceivedRequests();
        return token;
    }

    // The form fields of each request to an operation ("ka/receive"), in order.
    std::vector<PortalTestClient::Form> formsOf(const std::string& operation) const { return PortalTestClient::formsOf(portal, operation); }
    size_t countOf(const std::string& operation) const { return formsOf(operation).size(); }
    size_t countPosted(const std::string& name) const
    {
        size_t n = 0;
        for (const auto& p : posted)
            n += p.name == name;
        return n;
    }

    std::shared_ptr<pf::ViewController> top() const { return navigation->topViewController(); }

    pf::TaskEnvironment env;
    portal::PortalServer portal;
    pf::Driver driver;
    std::shared_ptr<pf::ViewController> root;
    std::shared_ptr<pf::NavigationController> navigation;
    std::shared_ptr<pf::Window> window;
    std::vector<Posted> posted;

private:
    std::shared_ptr<int> m_owner { std::make_shared<int>(0) };
};
