#include "UITestSupport.h"

#include "platform/graphics/Image.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/AlertViewDelegate.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Button.h"
#include "platform/ui/DumpAttributes.h"
#include "platform/ui/Driver.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Interaction.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"

using namespace pf;

namespace {

// A subclass defined outside the toolkit adds its own texts to its line.
class PriceTag : public View {
public:
    using View::View;
    std::string price;
    std::string dumpClassName() const override { return "Price"; }
    void dumpAttributes(DumpAttributes& attributes) const override
    {
        attributes.text("price", price);
        View::dumpAttributes(attributes);
    }
};

class DriverTests : public UITest {
protected:
    void SetUp() override
    {
        window = std::make_shared<Window>();
        window->setBackgroundColor(Color::white());
        window->makeKeyAndVisible();
    }
    std::shared_ptr<Window> window;
    Driver driver;
};

TEST_F(DriverTests, TheDumpListsVisibleViewsWithWhatAPersonReads)
{
    auto screen = std::make_shared<View>(Rect { 0, 0, 320, 480 });
    screen->setBackgroundColor(Color::rgb(238 / 255.0, 238 / 255.0, 240 / 255.0));
    window->addSubview(screen);

    auto title = std::make_shared<Label>(Rect { 10, 10, 300, 20 });
    title->setText("礼包详情 \"new\"");
    screen->addSubview(title);

    auto claim = std::make_shared<Button>(ButtonType::Custom, Rect { 10, 40, 80, 30.5 });
    claim->setTitle("领取");
    claim->setTag(12);
    claim->setSelected(true);
    claim->setEnabled(false);
    screen->addSubview(claim);

    auto icon = std::make_shared<Image>(16, 16, 2);
    icon->setName("back.png");
    auto image = std::make_shared<ImageView>(icon);
    image->setAlpha(0.5);
    screen->addSubview(image);

    auto password = std::make_shared<TextField>(Rect { 10, 80, 200, 30 });
    password->setSecureTextEntry(true);
    password->setText("abc");
    screen->addSubview(password);
    auto name = std::make_shared<TextField>(Rect { 10, 120, 200, 30 });
    name->setPlaceholder("用户名");
    name->setOutletName("nameField");
    screen->addSubview(name);

    auto tag = std::make_shared<PriceTag>(Rect { 0, 200, 50, 20 });
    tag->price = "10";
    screen->addSubview(tag);

    // Not shown: hidden, transparent, off the screen, clipped away.
    auto hidden = std::make_shared<Label>(Rect { 0, 300, 50, 20 });
    hidden->setText("hidden");
    hidden->setHidden(true);
    screen->addSubview(hidden);
    auto faded = std::make_shared<Label>(Rect { 0, 300, 50, 20 });
    faded->setText("faded");
    faded->setAlpha(0);
    screen->addSubview(faded);
    auto offscreen = std::make_shared<Label>(Rect { -320, 300, 50, 20 });
    offscreen->setText("offscreen");
    screen->addSubview(offscreen);
    auto clip = std::make_shared<ScrollView>(Rect { 0, 400, 320, 50 });
    auto below = std::make_shared<Label>(Rect { 0, 60, 50, 20 });
    below->setText("below the fold");
    clip->addSubview(below);
    screen->addSubview(clip);

    EXPECT_EQ(driver.dump(),
        "Window frame=(0,0,320,480) bg=#FFFFFF key\n"
        "  View frame=(0,0,320,480) bg=#EEEEF0\n"
        "    Label frame=(10,10,300,20) text=\"礼包详情 \\\"new\\\"\"\n"
        "    Button frame=(10,40,80,30.5) title=\"领取\" tag=12 selected disabled\n"
        "    ImageView frame=(0,0,8,8) image=back.png alpha=0.5\n"
        "    TextField frame=(10,80,200,30) text=\"•••\" secure\n"
        "    TextField frame=(10,120,200,30) placeholder=\"用户名\" outlet=nameField\n"
        "    Price frame=(0,200,50,20) price=\"10\"\n"
        "    ScrollView frame=(0,400,320,50) content=(0,0)\n");

    // The same screen dumps the same way.
    EXPECT_EQ(driver.dump(), driver.dump());

    EXPECT_EQ(driver.findByText("领取"), claim);
    EXPECT_EQ(driver.findByText("10"), tag);
    EXPECT_EQ(driver.findByText("hidden"), nullptr);
    EXPECT_EQ(driver.findByText("below the fold"), nullptr);
    EXPECT_EQ(driver.findContainingText("礼包"), title);
    EXPECT_EQ(driver.findByTag(12), claim);
    EXPECT_EQ(driver.findByOutlet("nameField"), name);
    EXPECT_EQ(driver.findByClass("Price"), tag);
    EXPECT_EQ(driver.findOfType<TextField>([](const TextField& f) { return !f.placeholder().empty(); }), name);
}

TEST_F(DriverTests, TapsSayWhyTheyDidNotReachTheView)
{
    auto button = std::make_shared<Button>(ButtonType::Custom, Rect { 10, 10, 100, 40 });
    int taps = 0;
    button->addAction("tap", [&](const std::shared_ptr<Control>&) { ++taps; }, ControlEvent::TouchUpInside);
    window->addSubview(button);
    EXPECT_TRUE(driver.tap(button));
    EXPECT_EQ(taps, 1);

    auto cover = std::make_shared<View>(Rect { 0, 0, 320, 100 });
    window->addSubview(cover);
    auto covered = driver.tap(button);
    EXPECT_EQ(covered.outcome, TouchResult::Outcome::Covered);
    EXPECT_EQ(covered.hitView, cover);
    EXPECT_EQ(taps, 1);

    // A cover that lets touches through is no cover.
    cover->setUserInteractionEnabled(false);
    EXPECT_TRUE(driver.tap(button));
    EXPECT_EQ(taps, 2);

    button->setHidden(true);
    EXPECT_EQ(driver.tap(button).outcome, TouchResult::Outcome::NotVisible);
    button->setHidden(false);
    button->setFrame({ 400, 10, 100, 40 });
    EXPECT_EQ(driver.tap(button).outcome, TouchResult::Outcome::NotVisible);
    button->setFrame({ 10, 10, 100, 40 });

    Interaction::beginIgnoringEvents();
    EXPECT_EQ(driver.tap(button).outcome, TouchResult::Outcome::Ignored);
    Interaction::endIgnoringEvents();
    EXPECT_EQ(driver.tapText("nothing like this").outcome, TouchResult::Outcome::NotFound);

    // A disabled button lets the touch go, but sends nothing.
    button->setEnabled(false);
    EXPECT_TRUE(driver.tap(button));
    EXPECT_EQ(taps, 2);
}

TEST_F(DriverTests, ATagSeveralViewsCarryTapsTheOneThatTakesTheTouchOrIsAmbiguous)
{
    // A carousel's picture button and, in front, a page dot with the same tag.
    auto picture = std::make_shared<Button>(ButtonType::Custom, Rect { 0, 0, 320, 126 });
    picture->setTag(100);
    int opened = 0;
    picture->addAction("open", [&](const std::shared_ptr<Control>&) { ++opened; }, ControlEvent::TouchUpInside);
    window->addSubview(picture);
    auto dot = std::make_shared<ImageView>(Rect { 129, 106, 8, 8 });
    dot->setImage(std::make_shared<Image>(8, 8));
    dot->setTag(100);
    window->addSubview(dot);
    EXPECT_EQ(driver.tapTag(100).target, picture);
    EXPECT_EQ(opened, 1);

    // Two enabled buttons alike: the driver does not guess, and says where each lies.
    auto other = std::make_shared<Button>(ButtonType::Custom, Rect { 0, 200, 100, 40 });
    other->setTag(100);
    window->addSubview(other);
    auto ambiguous = driver.tapTag(100);
    EXPECT_EQ(ambiguous.outcome, TouchResult::Outcome::Ambiguous);
    EXPECT_NE(ambiguous.reason.find("Button (0,0,320,126)"), std::string::npos) << ambiguous.reason;
    EXPECT_NE(ambiguous.reason.find("Button (0,200,100,40) at (0,200,100,40) in the window"), std::string::npos) << ambiguous.reason;
    EXPECT_EQ(ambiguous.reason.find("ImageView"), std::string::npos) << ambiguous.reason;
    other->setEnabled(false);
    EXPECT_EQ(driver.tapTag(100).target, picture);
    EXPECT_EQ(opened, 2);

    // Alone, a view the finger only passes through is not tapped: the touch would be the window's.
    picture->setHidden(true);
    other->setHidden(true);
    auto passed = driver.tapTag(100);
    EXPECT_EQ(passed.outcome, TouchResult::Outcome::Refused);
    EXPECT_EQ(passed.target, dot);
    EXPECT_NE(passed.reason.find("ImageView (129,106,8,8) takes no touches: a finger on it lands on Window (0,0,320,480)"), std::string::npos)
        << passed.reason;
}

TEST_F(DriverTests, AFingerReachesAViewOnlyOnTheScreenThroughItsOwnWindow)
{
    int taps = 0;
    auto button = std::make_shared<Button>(ButtonType::Custom, Rect { 10, 10, 100, 40 });
    button->addAction("tap", [&](const std::shared_ptr<Control>&) { ++taps; }, ControlEvent::TouchUpInside);
    window->addSubview(button);
    auto field = std::make_shared<TextField>(Rect { 10, 60, 200, 30 });
    window->addSubview(field);
    auto stamp = std::make_shared<Image>(8, 8);
    stamp->setName("stamp.png");
    auto picture = std::make_shared<ImageView>(Rect { 10, 100, 20, 20 });
    picture->setImage(stamp);
    window->addSubview(picture);

    // Another window in front holds a button over the picture: that covers it, it is no part of it.
    auto front = std::make_shared<Window>(Rect { 0, 90, 320, 50 });
    int frontTaps = 0;
    auto frontButton = std::make_shared<Button>(ButtonType::Custom, front->bounds());
    frontButton->addAction("tap", [&](const std::shared_ptr<Control>&) { ++frontTaps; }, ControlEvent::TouchUpInside);
    front->addSubview(frontButton);
    front->makeKeyAndVisible();
    auto image = driver.tapImage("stamp.png");
    EXPECT_EQ(image.outcome, TouchResult::Outcome::Covered);
    EXPECT_EQ(image.hitView, frontButton);
    EXPECT_EQ(frontTaps, 0);
    front->setHidden(true);

    // A sign-in window over the whole screen moves the app's window beside it, the field being edited.
    ASSERT_TRUE(driver.typeText(field, "a"));
    window->setFrame({ 320, 0, 320, 480 });
    auto signIn = std::make_shared<Window>();
    signIn->makeKeyAndVisible();
    auto tapped = driver.tap(button);
    EXPECT_EQ(tapped.outcome, TouchResult::Outcome::NotVisible);
    EXPECT_NE(tapped.reason.find("lies off the screen, in a window at (320,0,320,480); the screen shows Window (0,0,320,480) in front"),
        std::string::npos) << tapped.reason;
    EXPECT_FALSE(driver.dragView(button, { 0, 100 }));
    EXPECT_EQ(driver.tapImage("stamp.png").outcome, TouchResult::Outcome::NotVisible);
    EXPECT_NE(driver.typeText(field, "b").reason.find("lies off the screen"), std::string::npos);
    EXPECT_FALSE(driver.clearText(field));
    EXPECT_EQ(field->text(), "a");
    EXPECT_EQ(taps, 0);
}

TEST_F(DriverTests, ATapOnALabelInsideAButtonPressesTheButton)
{
    auto button = std::make_shared<Button>(ButtonType::Custom, Rect { 0, 0, 200, 60 });
    button->setTitle("淘号");
    int taps = 0;
    button->addAction("tap", [&](const std::shared_ptr<Control>&) { ++taps; }, ControlEvent::TouchUpInside);
    window->addSubview(button);
    EXPECT_TRUE(driver.tap(button->titleLabel())); // a part of the button: the touch reaches the button
    EXPECT_TRUE(driver.tapText("淘号"));
    EXPECT_EQ(taps, 2);
}

TEST_F(DriverTests, APictureIsTappedThroughTheControlThatShowsItOrLiesOverIt)
{
    auto named = [](const std::string& name) {
        auto image = std::make_shared<Image>(8, 8);
        image->setName(name);
        return image;
    };
    int backs = 0;
    int shares = 0;
    // A bar button: the picture, and a transparent button over it.
    auto container = std::make_shared<ImageView>(Rect { 0, 0, 50, 44 });
    container->setUserInteractionEnabled(true);
    auto picture = std::make_shared<ImageView>(Rect { 6, 13, 8, 16 });
    picture->setImage(named("back.png"));
    container->addSubview(picture);
    auto over = std::make_shared<Button>(ButtonType::Custom, container->bounds());
    over->addAction("back", [&](const std::shared_ptr<Control>&) { ++backs; }, ControlEvent::TouchUpInside);
    container->addSubview(over);
    window->addSubview(container);
    // A button that shows the picture itself.
    auto share = std::make_shared<Button>(ButtonType::Custom, Rect { 100, 0, 20, 20 });
    share->setBackgroundImage(named("share.png"));
    share->addAction("share", [&](const std::shared_ptr<Control>&) { ++shares; }, ControlEvent::TouchUpInside);
    window->addSubview(share);
    // A picture that no control covers.
    auto dot = std::make_shared<ImageView>(Rect { 200, 0, 8, 8 });
    dot->setImage(named("dot.png"));
    window->addSubview(dot);

    EXPECT_TRUE(driver.tapImage("back.png"));
    EXPECT_TRUE(driver.tapImage("share.png"));
    EXPECT_EQ(backs, 1);
    EXPECT_EQ(shares, 1);
    EXPECT_EQ(driver.tapImage("dot.png").outcome, TouchResult::Outcome::Covered);
    EXPECT_EQ(driver.tapImage("home.png").outcome, TouchResult::Outcome::NotFound);
    container->setHidden(true);
    EXPECT_FALSE(driver.tapImage("back.png"));
    EXPECT_EQ(backs, 1);
}

class Filter : public TextFieldDelegate {
public:
    std::vector<std::string> log;
    bool refuseDigits { false };
    bool returns { true };
    bool textFieldShouldBeginEditing(TextField&) override { log.push_back("shouldBegin"); return true; }
    void textFieldDidBeginEditing(TextField&) override { log.push_back("didBegin"); }
    void textFieldDidEndEditing(TextField&) override { log.push_back("didEnd"); }
    bool textFieldShouldChangeCharacters(TextField& f, TextRange range, const std::string& s) override
    {
        log.push_back("change " + std::to_string(range.location) + "+" + std::to_string(range.length) + " '" + s + "'");
        return !(refuseDigits && !s.empty() && s[0] >= '0' && s[0] <= '9');
    }
    bool textFieldShouldReturn(TextField&) override { log.push_back("return"); return returns; }
};

// A field in the window whose delegate logs what it is asked, counting its change events.
std::shared_ptr<TextField> filteredField(Window& window, const std::shared_ptr<Filter>& filter, int& changes)
{
    auto field = std::make_shared<TextField>(Rect { 10, 10, 200, 30 });
    field->setDelegate(filter);
    field->addAction("changed", [&changes](const std::shared_ptr<Control>&) { ++changes; }, ControlEvent::EditingChanged);
    window.addSubview(field);
    return field;
}

TEST_F(DriverTests, TypingGoesThroughTheDelegateLikeAKeyboard)
{
    auto filter = std::make_shared<Filter>();
    int changes = 0;
    auto field = filteredField(*window, filter, changes);

    ASSERT_TRUE(driver.typeText(field, "礼a"));
    EXPECT_TRUE(field->isFirstResponder());
    EXPECT_EQ(field->text(), "礼a");
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(filter->log, (std::vector<std::string> { "shouldBegin", "didBegin", "change 0+0 '礼'", "change 1+0 'a'" }));

    // Ranges count UTF-16 units: a character outside the basic plane counts two.
    driver.typeText(field, "😀");
    filter->log.clear();
    driver.deleteBackward(field);
    EXPECT_EQ(filter->log, (std::vector<std::string> { "change 2+2 ''" }));
    EXPECT_EQ(field->text(), "礼a");

    filter->refuseDigits = true;
    EXPECT_FALSE(driver.typeText(field, "b1c"));
    EXPECT_EQ(field->text(), "礼ab");

    // Return asks the delegate; with a listener for end-on-exit the field resigns.
    filter->log.clear();
    driver.pressReturn(field);
    EXPECT_EQ(filter->log, (std::vector<std::string> { "return" }));
    EXPECT_TRUE(field->isEditing());
    field->addTarget(nullptr, "done:", ControlEvent::EditingDidEndOnExit);
    driver.pressReturn(field);
    EXPECT_FALSE(field->isEditing());
    EXPECT_EQ(filter->log.back(), "didEnd");

    // Setting the text in code asks nobody.
    filter->log.clear();
    field->setText("x");
    EXPECT_TRUE(filter->log.empty());
}

TEST_F(DriverTests, ClearingAFieldDeletesCharacterByCharacterLikeTheDeleteKey)
{
    auto filter = std::make_shared<Filter>();
    int changes = 0;
    auto field = filteredField(*window, filter, changes);
    field->setText("a礼😀");
    ASSERT_TRUE(driver.clearText(field)); // not being edited: tapped first
    EXPECT_EQ(field->text(), "");
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(filter->log, (std::vector<std::string> { "shouldBegin", "didBegin", "change 2+2 ''", "change 1+1 ''", "change 0+1 ''" }));
    filter->log.clear();
    EXPECT_TRUE(driver.clearText(field)) << "an empty field is already clear";
    EXPECT_TRUE(filter->log.empty());

    // A field that puts its text back: the key stops at the first press that changes nothing.
    field->setText("ab");
    int refills = 0;
    TextField* refilled = field.get(); // (the field holds its actions)
    field->addAction("refill", [&refills, refilled](const std::shared_ptr<Control>&) {
        if (refills++ < 100) // (an end, so that a driver pressing on comes back)
            refilled->setText("ab");
    }, ControlEvent::EditingChanged);
    auto kept = driver.clearText(field);
    EXPECT_EQ(kept.outcome, TouchResult::Outcome::Unchanged);
    EXPECT_EQ(refills, 1);
    EXPECT_NE(kept.reason.find("keeps its text: a press of delete left it as it was"), std::string::npos) << kept.reason;
}

TEST_F(DriverTests, OnlyOneFieldEditsAtATimeAndHidingAFieldEndsItsEditing)
{
    auto a = std::make_shared<TextField>(Rect { 10, 10, 200, 30 });
    auto b = std::make_shared<TextField>(Rect { 10, 50, 200, 30 });
    window->addSubview(a);
    window->addSubview(b);
    driver.tap(a);
    EXPECT_TRUE(a->isEditing());
    driver.tap(b);
    EXPECT_FALSE(a->isEditing());
    EXPECT_TRUE(b->isEditing());
    b->setHidden(true);
    EXPECT_FALSE(b->isEditing());
    EXPECT_EQ(Responder::currentFirstResponder(), nullptr);

    // A field that is not on screen cannot take the keyboard.
    auto loose = std::make_shared<TextField>();
    EXPECT_FALSE(loose->becomeFirstResponder());
}

}

TEST_F(DriverTests, AFadingViewStaysOnTheScreenUntilItsFadeEnds)
{
    auto toast = std::make_shared<Label>(Rect { 40, 200, 240, 60 });
    toast->setText("已复制");
    window->addSubview(toast);
    Animation::animate(3.0, [&] { toast->setAlpha(0); }, [&](bool) { toast->removeFromSuperview(); });

    env.fastForwardBy(1.5);
    std::string midway = driver.dump();
    EXPECT_NE(midway.find("已复制"), std::string::npos) << midway;
    EXPECT_NE(midway.find("alpha=0.5"), std::string::npos) << midway;
    EXPECT_TRUE(driver.isVisible(*toast));

    env.fastForwardBy(1.6);
    EXPECT_EQ(driver.dump().find("已复制"), std::string::npos);
}

TEST_F(DriverTests, APageBehindAnOpaquePageIsNotOnTheScreen)
{
    // Tab screens keep every page as a subview and bring the chosen one to the front.
    auto makePage = [&](const std::string& text) {
        auto page = std::make_shared<View>(Rect { 0, 37, 320, 379 });
        page->setBackgroundColor(Color::white());
        auto label = std::make_shared<Label>(Rect { 10, 10, 200, 20 });
        label->setText(text);
        page->addSubview(label);
        window->addSubview(page);
        return page;
    };
    auto first = makePage("第一页");
    auto second = makePage("第二页");

    EXPECT_EQ(driver.dump().find("第一页"), std::string::npos);
    EXPECT_NE(driver.dump().find("第二页"), std::string::npos);
    EXPECT_EQ(driver.findByText("第一页"), nullptr);

    window->bringSubviewToFront(first);
    EXPECT_NE(driver.dump().find("第一页"), std::string::npos);
    EXPECT_EQ(driver.dump().find("第二页"), std::string::npos);

    // A see-through page in front hides nothing.
    first->setBackgroundColor(Color::clear());
    EXPECT_NE(driver.dump().find("第二页"), std::string::npos);

    // Nor does one that has begun to fade out, though it still shows at full opacity: touches
    // pass it by already, so what lies behind is what a finger reaches.
    first->setBackgroundColor(Color::white());
    Animation::animate(3.0, [&] { first->setAlpha(0); });
    EXPECT_NE(driver.dump().find("第一页"), std::string::npos);
    EXPECT_TRUE(driver.tapText("第二页"));
}

TEST_F(DriverTests, FailuresNameWhatAPersonSeesAndSayWhatIsFadingOut)
{
    auto button = std::make_shared<Button>(ButtonType::Custom, Rect { 40, 200, 100, 40 });
    button->setTitle("领取");
    window->addSubview(button);
    auto box = std::make_shared<View>(Rect { 20, 180, 280, 160 });
    box->setDisplayName("the update box");
    auto later = std::make_shared<Button>(ButtonType::Custom, Rect { 0, 0, 120, 40 });
    later->setTitle("以后再说");
    box->addSubview(later);
    window->addSubview(box);
    EXPECT_EQ(driver.tap(button).reason, "Button (40,200,100,40) \"领取\" is covered by the update box");
    later->setFrame(box->bounds());
    EXPECT_EQ(driver.tap(button).reason, "Button (40,200,100,40) \"领取\" is covered by the update box");

    // Fading out, the box is still seen though touches pass it by; hidden, it is not.
    Animation::animate(3.0, [&] { box->setAlpha(0); });
    EXPECT_EQ(driver.tap(box).reason, "the update box is fading out");
    EXPECT_EQ(driver.tap(later).reason, "Button (0,0,280,160) \"以后再说\" in the update box is fading out");
    EXPECT_TRUE(driver.tap(button));
    box->setDisplayName("");
    EXPECT_EQ(driver.tap(later).reason, "Button (0,0,280,160) \"以后再说\" is fading out with View (20,180,280,160)");
    box->setHidden(true);
    EXPECT_EQ(driver.tap(later).reason, "Button (0,0,280,160) \"以后再说\" is hidden or transparent");
}

// What a finger meets is named as a person sees it: the box it lies in, unless that box holds
// the covered view too; an alert, a window of its own, by its title or else its message.
TEST_F(DriverTests, ACoverIsNamedByTheBoxItLiesInAndAnAlertByWhatItSays)
{
    auto claim = std::make_shared<Button>(ButtonType::Custom, Rect { 60, 380, 200, 24 });
    claim->setTitle("领取");
    window->addSubview(claim);
    auto sheet = std::make_shared<View>(Rect { 0, 0, 320, 416 });
    sheet->setDisplayName("the share sheet");
    sheet->addSubview(std::make_shared<View>(sheet->bounds())); // the backdrop, which takes the touches
    auto row = std::make_shared<Button>(ButtonType::Custom, Rect { 53, 100, 213, 40 });
    row->setTitle("闪讯");
    sheet->addSubview(row);
    sheet->addSubview(std::make_shared<View>(Rect { 53, 100, 213, 40 }));
    window->addSubview(sheet);
    EXPECT_EQ(driver.tap(claim).reason, "Button (60,380,200,24) \"领取\" is covered by the share sheet");
    EXPECT_EQ(driver.tap(row).reason, "Button (53,100,213,40) \"闪讯\" in the share sheet is covered by View (53,100,213,40) in the share sheet");
    sheet->setHidden(true);

    // Line breaks of a message would break the one line an error takes.
    auto titled = std::make_shared<AlertView>("api调用失败", "可能授权已过期", std::weak_ptr<AlertViewDelegate>(), "OK");
    auto untitled = std::make_shared<AlertView>("", "未安装闪讯客户端，\n是否现在去下载？", std::weak_ptr<AlertViewDelegate>(), "取消");
    auto blank = std::make_shared<AlertView>("", "", std::weak_ptr<AlertViewDelegate>(), "好");
    titled->show();
    untitled->show();
    blank->show();
    EXPECT_EQ(driver.tap(claim).reason, "Button (60,380,200,24) \"领取\" is covered by the alert “api调用失败”");
    auto ok = titled->buttonAtIndex(0);
    ASSERT_TRUE(ok);
    EXPECT_EQ(Driver::describe(*ok), "Button (0,82,270,44) \"OK\" in the alert “api调用失败”");
    ASSERT_TRUE(driver.tapAlertButton("OK"));
    EXPECT_EQ(driver.tap(claim).reason, "Button (60,380,200,24) \"领取\" is covered by the alert “未安装闪讯客户端， 是否现在去下载？”");
    ASSERT_TRUE(driver.tapAlertButton("取消"));
    EXPECT_EQ(driver.tap(claim).reason, "Button (60,380,200,24) \"领取\" is covered by the alert");
    ASSERT_TRUE(driver.tapAlertButton("好"));
    EXPECT_TRUE(driver.tap(claim));
}

namespace {

TEST_F(DriverTests, WhenSeveralViewsShowATextTheEnabledControlIsTappedAndTheChoiceIsTold)
{
    // A screen titled like its own button, whichever of the two lies in front.
    auto title = std::make_shared<Label>(Rect { 130, 10, 60, 20 });
    title->setText("搜索");
    window->addSubview(title);
    auto button = std::make_shared<Button>(ButtonType::Custom, Rect { 250, 60, 60, 30 });
    button->setTitle("搜索");
    int taps = 0;
    button->addAction("tap", [&](const std::shared_ptr<Control>&) { ++taps; }, ControlEvent::TouchUpInside);
    window->addSubview(button);

    EXPECT_EQ(driver.findByText("搜索"), button);
    auto result = driver.tapText("搜索");
    EXPECT_TRUE(result);
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(result.target, button);
    EXPECT_EQ(result.candidates, 2u);
    EXPECT_EQ(Driver::describe(*button), "Button (250,60,60,30) \"搜索\"");
    window->bringSubviewToFront(title);
    EXPECT_EQ(driver.tapText("搜索").target, button);
    EXPECT_EQ(taps, 2);

    // A covered button cannot be reached: the finger goes to what a person can touch.
    auto cover = std::make_shared<View>(Rect { 240, 50, 80, 50 });
    window->addSubview(cover);
    result = driver.tapText("搜索");
    EXPECT_TRUE(result);
    EXPECT_EQ(result.target, title);
    EXPECT_EQ(taps, 2);
    cover->removeFromSuperview();

    // A disabled button is no better than the label; one view alone is no choice.
    button->setEnabled(false);
    EXPECT_EQ(driver.tapText("搜索").target, title);
    button->setHidden(true);
    result = driver.tapText("搜索");
    EXPECT_EQ(result.target, title);
    EXPECT_EQ(result.candidates, 1u);
    EXPECT_EQ(taps, 2);
}

}
