#include "sdk/lmconnect/dialogs/UINotifyView.h"

#include "platform/graphics/Image.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/Layer.h"
#include "platform/ui/UIEnvironment.h"

#include <gtest/gtest.h>

namespace {

TEST(NoticeTest, FadesInStaysAndFadesOutThenRunsItsCompletion)
{
    pf::TaskEnvironment env;
    pf::UIEnvironment::reset();
    auto notice = UINotifyView::notifyViewWithImage(std::make_shared<pf::Image>(40, 40), std::string("设置成功"));
    auto host = std::make_shared<pf::View>(pf::Rect(0, 0, 320, 480));
    host->addSubview(notice);
    int completions = 0;
    notice->presentWithDuration(1.0, 0.5, host, [&] { ++completions; });
    EXPECT_TRUE(notice->isAnimating());
    auto shown = [&] { return notice->backgroundView()->layer().presentationOpacity(); };
    struct Step {
        double at;   // seconds since the notice was presented
        double low;  // bounds of the background's shown opacity
        double high;
        bool animating;
        int completions;
    };
    const std::vector<Step> steps {
        { 0.25, 0.01, 0.74, true, 0 },
        { 0.55, 0.75, 0.75, true, 0 },
        { 1.45, 0.75, 0.75, true, 0 },
        { 1.80, 0.01, 0.74, true, 0 },
        { 2.10, 0, 0, false, 1 },
        { 4.00, 0, 0, false, 1 },
    };
    double now = 0;
    for (const auto& s : steps) {
        SCOPED_TRACE(s.at);
        env.fastForwardBy(s.at - now);
        now = s.at;
        EXPECT_GE(shown(), s.low - 1e-9);
        EXPECT_LE(shown(), s.high + 1e-9);
        EXPECT_EQ(notice->isAnimating(), s.animating);
        EXPECT_EQ(completions, s.completions);
    }
}

TEST(NoticeTest, IconAndTextAreCentredAsOneGroup)
{
    pf::TaskEnvironment env;
    auto both = UINotifyView::notifyViewWithImage(std::make_shared<pf::Image>(40, 40), std::string("网络有问题"));
    pf::Rect icon = both->imageView()->frame();
    pf::Rect text = both->textLabel()->frame();
    EXPECT_EQ(icon.width(), 20);
    EXPECT_EQ(icon.height(), 20);
    EXPECT_EQ(icon.y(), (45 - 20) / 2.0);
    EXPECT_GT(text.width(), 0);
    EXPECT_EQ(text.x(), icon.x() + icon.width());
    EXPECT_NEAR(icon.x() - 0, 280 - (text.x() + text.width()), 1e-6);

    auto iconOnly = UINotifyView::notifyViewWithImage(std::make_shared<pf::Image>(40, 40), std::nullopt);
    EXPECT_EQ(iconOnly->imageView()->frame().x(), 130);
    auto textOnly = UINotifyView::notifyViewWithImage(nullptr, std::string("设置成功"));
    pf::Rect label = textOnly->textLabel()->frame();
    EXPECT_NEAR(label.x(), 280 - (label.x() + label.width()), 1e-6);

    // A later, larger image keeps the first size and only moves.
    iconOnly->setImage(std::make_shared<pf::Image>(80, 80));
    iconOnly->setText(std::string("x"));
    EXPECT_EQ(iconOnly->imageView()->frame().width(), 20);
    EXPECT_LT(iconOnly->imageView()->frame().x(), 130);
}

}
