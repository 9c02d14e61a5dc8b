#include "UITestSupport.h"

#include "platform/ui/AlertView.h"
#include "platform/ui/AlertViewDelegate.h"
#include "platform/ui/Button.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Window.h"

using namespace pf;

namespace {

class Listener : public AlertViewDelegate {
public:
    std::vector<std::string> log;
    void alertViewClickedButtonAtIndex(AlertView& a, int i) override { log.push_back(a.title() + " clicked " + std::to_string(i)); }
    void alertViewWillDismissWithButtonIndex(AlertView& a, int i) override { log.push_back(a.title() + " will " + std::to_string(i)); }
    void alertViewDidDismissWithButtonIndex(AlertView& a, int i) override { log.push_back(a.title() + " did " + std::to_string(i)); }
};

class AlertViewTests : public UITest {
protected:
    void SetUp() override
    {
        window = std::make_shared<Window>();
        window->makeKeyAndVisible();
        button = std::make_shared<Button>(ButtonType::Custom, Rect { 0, 0, 320, 480 });
        button->setTitle("Under");
        window->addSubview(button);
        listener = std::make_shared<Listener>();
    }

    std::shared_ptr<Window> window;
    std::shared_ptr<Button> button;
    std::shared_ptr<Listener> listener;
    Driver driver;
};

TEST_F(AlertViewTests, TappingAButtonReportsClickThenDismissalOnTheClock)
{
    auto alert = std::make_shared<AlertView>("New version", "Install now?", listener, "Later", std::vector<std::string> { "Install" });
    EXPECT_EQ(alert->cancelButtonIndex(), 0);
    EXPECT_EQ(alert->firstOtherButtonIndex(), 1);
    alert->show();
    std::weak_ptr<AlertView> weak = alert;
    alert.reset(); // showing keeps it alive

    ASSERT_EQ(driver.visibleAlert(), weak.lock());
    EXPECT_TRUE(driver.findByText("Install now?"));
    // The alert covers the screen.
    EXPECT_EQ(driver.tap(button).outcome, TouchResult::Outcome::Covered);
    EXPECT_EQ(Window::keyWindow()->windowLevel(), WindowLevel::Alert);

    ASSERT_TRUE(driver.tapAlertButton("Install"));
    EXPECT_EQ(listener->log, (std::vector<std::string> { "New version clicked 1", "New version will 1" }));
    EXPECT_EQ(driver.visibleAlert(), nullptr);
    EXPECT_FALSE(driver.findByText("Install now?"));
    EXPECT_EQ(Window::keyWindow(), window);
    EXPECT_TRUE(driver.tap(button));

    driver.advance(AlertView::DismissDuration);
    EXPECT_EQ(listener->log.back(), "New version did 1");
    EXPECT_TRUE(weak.expired());
}

TEST_F(AlertViewTests, AlertsShownTogetherComeOneAfterTheOther)
{
    auto first = std::make_shared<AlertView>("First", "", listener, "OK");
    auto second = std::make_shared<AlertView>("Second", "", listener, "OK");
    first->show();
    second->show();
    EXPECT_EQ(AlertView::pendingAlerts().size(), 2u);
    EXPECT_TRUE(driver.findByText("First"));
    EXPECT_FALSE(driver.findByText("Second"));
    driver.tapAlertButton("OK");
    EXPECT_EQ(driver.visibleAlert(), second);
    EXPECT_TRUE(driver.findByText("Second"));
    EXPECT_EQ(driver.tapAlertButton("Cancel").outcome, TouchResult::Outcome::NotFound);
    driver.tapAlertButton("OK");
    driver.advance(1);
    EXPECT_EQ(listener->log, (std::vector<std::string> { "First clicked 0", "First will 0", "Second clicked 0", "Second will 0", "First did 0", "Second did 0" }));
    EXPECT_TRUE(AlertView::pendingAlerts().empty());
}

TEST_F(AlertViewTests, DismissingInCodeSkipsTheClickAndAGoneDelegateIsNotCalled)
{
    auto alert = std::make_shared<AlertView>("Notice", "", listener, "", std::vector<std::string> { "A", "B", "C" });
    EXPECT_EQ(alert->cancelButtonIndex(), -1);
    EXPECT_EQ(alert->buttonTitleAtIndex(2), "C");
    alert->show();
    alert->dismissWithClickedButtonIndex(2, false);
    EXPECT_EQ(listener->log, (std::vector<std::string> { "Notice will 2", "Notice did 2" }));
    alert->dismissWithClickedButtonIndex(1, false); // twice does nothing
    EXPECT_EQ(listener->log.size(), 2u);

    auto orphan = std::make_shared<AlertView>("Orphan", "", std::make_shared<Listener>(), "OK");
    orphan->show();
    EXPECT_TRUE(driver.tapAlertButton("OK")); // the delegate died at once: nothing to tell
}

}
