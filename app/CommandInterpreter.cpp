#include "app/CommandInterpreter.h"

#include "app/CommandTable.h"
#include "app/VendorApps.h"
#include "platform/ui/DumpAttributes.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Button.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Interaction.h"
#include "platform/ui/Window.h"
#include "screens/menu/DDMenuController.h"
#include "screens/mygifts/MyGiftsViewController.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include <iostream>
#include <ostream>

namespace {

std::string quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

// The controller of the frontmost view in `view`'s tree that has one, a view's own before those
// of the views it holds.
std::shared_ptr<pf::ViewController> frontmostController(const pf::View& view)
{
    if (auto controller = view.viewController())
        return controller;
    const auto& subviews = view.subviews();
    for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
        if (auto found = frontmostController(**it))
            return found;
    }
    return nullptr;
}

// The controller the app's screens hang from in `window`: its root on a phone. On a tablet the
// window has no root and the app's sits in a popover's panel; a screen presented over it leads
// back to it through its presenter.
std::shared_ptr<pf::ViewController> rootControllerIn(const pf::Window& window)
{
    if (auto root = window.rootViewController())
        return root;
    auto controller = frontmostController(window);
    while (controller) {
        auto outer = controller->presentingViewController();
        if (!outer)
            outer = controller->parentViewController();
        if (!outer)
            break;
        controller = outer;
    }
    return controller;
}

// The side-menu container the app shows, if any: in the frontmost window that holds one, not
// only the key window, so that while another window is in front (a client library's sign-in)
// the commands on the app's screen still find it and the driver tells what keeps a finger off.
std::shared_ptr<DDMenuController> menuContainer()
{
    auto windows = pf::Window::windows(); // back to front
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        if (auto container = std::dynamic_pointer_cast<DDMenuController>(rootControllerIn(**it)))
            return container;
    }
    return nullptr;
}

// The app's root controller: its menu container, else whatever the key window shows.
std::shared_ptr<pf::ViewController> shownRootController()
{
    if (auto container = menuContainer())
        return container;
    auto window = pf::Window::keyWindow();
    return window ? rootControllerIn(*window) : nullptr;
}

// Time for a slide or a release of the centre to end (a fling with its overshoot included).
constexpr double kSlideSettleTime = 2 * DDMenuController::kSlideDuration;
// A slow drag moves at this speed, well below the speed that keeps a rightward drag from
// beginning; a fling takes a tenth of a second whatever its length.
constexpr double kSlowDragSpeed = 300;
constexpr double kFlingDuration = 0.1;

}

CommandInterpreter::CommandInterpreter(std::ostream& out)
    : CommandInterpreter(out, std::cerr)
{
}

CommandInterpreter::CommandInterpreter(std::ostream& out, std::ostream& notes)
    : m_out(out)
    , m_notes(notes)
{
}

bool CommandInterpreter::fail(const std::string& message)
{
    ++m_failures;
    m_out << "error: " << message << "\n";
    m_out.flush();
    return false;
}

bool CommandInterpreter::execute(std::string_view line)
{
    std::string error;
    auto command = ScriptCommand::parse(line, &error);
    if (!command) {
        if (m_explaining && error.starts_with("unknown command: ")) {
            if (auto near = CommandTable::nearest(error.substr(error.find(": ") + 2)); !near.empty())
                error += "; did you mean " + near + "?";
        }
        return fail(error);
    }
    return execute(*command);
}

bool CommandInterpreter::execute(const ScriptCommand& command)
{
    using Kind = ScriptCommand::Kind;
    bool ok = true;
    switch (command.kind) {
    case Kind::None:
        return true;
    case Kind::Dump:
        ok = dump();
        break;
    case Kind::TapText:
        ok = tapText(command.text);
        break;
    case Kind::TapTag:
        ok = tapTag(command.tag);
        break;
    case Kind::TapRow:
        ok = tapRow(command.section, command.row);
        break;
    case Kind::Type:
        ok = editField(command.text, command.input);
        break;
    case Kind::Clear:
        ok = editField(command.text, {});
        break;
    case Kind::ScrollBottom:
        ok = scrollBottom();
        break;
    case Kind::Pull:
        ok = pull();
        break;
    case Kind::Back:
        ok = back();
        break;
    case Kind::Wait:
        ok = wait(command.seconds);
        break;
    case Kind::Idle:
        ok = idle();
        break;
    case Kind::Pasteboard:
        ok = pasteboard();
        break;
    case Kind::Received:
        ok = received();
        break;
    case Kind::Menu:
        ok = menu();
        break;
    case Kind::Drag:
        ok = drag(command.distance, command.fling);
        break;
    case Kind::Quit:
        m_quit = true;
        break;
    case Kind::TapImage:
        ok = tapImage(command.text);
        break;
    case Kind::OpenMyGifts:
        ok = openMyGifts();
        break;
    case Kind::Help:
        ok = help(command.text);
        break;
    }
    m_driver.settle();
    // Let a transition that the command started (a push, a pop) finish, as a person would.
    for (int i = 0; i < 10 && pf::Interaction::isIgnoringEvents(); ++i)
        passTime(pf::NavigationController::TransitionDuration / 5);
    m_out.flush();
    return ok;
}

void CommandInterpreter::passTime(double seconds)
{
    auto& loop = pf::RunLoop::main();
    if (loop.hasManualClock()) {
        m_driver.advance(seconds);
        loop.runPending();
    } else {
        loop.runUntil([this] { return stopping(); }, seconds);
    }
    m_driver.settle();
}

bool CommandInterpreter::dump()
{
    std::string screen = m_driver.dump();
    m_out << "--- screen\n" << screen;
    if (!screen.empty() && screen.back() != '\n')
        m_out << "\n";
    m_out << "---\n";
    return true;
}

namespace {

// Every view of the shown windows that shows `text`, seen or not, back to front.
void collectShowing(const std::shared_ptr<pf::View>& view, const std::string& text, std::vector<std::shared_ptr<pf::View>>& out)
{
    pf::DumpAttributes attributes;
    view->dumpAttributes(attributes);
    for (const auto& t : attributes.texts()) {
        if (t == text) {
            out.push_back(view);
            break;
        }
    }
    for (const auto& sub : view->subviews())
        collectShowing(sub, text, out);
}

}

bool CommandInterpreter::tapText(const std::string& text)
{
    auto candidates = m_driver.findAllByText(text);
    // Nothing on screen shows it: a button or a link of a web page may.
    if (candidates.empty()) {
        if (m_driver.pressPageButton(text) || m_driver.tapLink(text))
            return true;
    }
    if (candidates.empty() && m_explaining) {
        // Nothing visible shows it; a view that does but is hidden, off the screen or behind
        // another tells the person why their tap went nowhere.
        std::vector<std::shared_ptr<pf::View>> unseen;
        for (const auto& window : pf::Window::windows()) {
            if (window->isShown())
                collectShowing(window, text, unseen);
        }
        if (!unseen.empty()) {
            auto result = m_driver.tap(unseen.back());
            if (!result)
                return fail("cannot tap " + quoted(text) + ": " + result.reason);
            m_driver.settle();
            return true;
        }
    }
    if (candidates.empty())
        return fail("nothing shows " + quoted(text));
    return tapped(m_driver.tapText(text), quoted(text), "showing it");
}

bool CommandInterpreter::tapTag(int tag)
{
    std::string what = "tag " + std::to_string(tag);
    auto result = m_driver.tapTag(tag);
    if (result.outcome == pf::TouchResult::Outcome::NotFound)
        return fail("nothing shows " + what);
    return tapped(result, what, "tagged " + std::to_string(tag));
}

bool CommandInterpreter::tapped(const pf::TouchResult& result, const std::string& what, const std::string& among)
{
    if (!result)
        return fail("cannot tap " + what + (result.reason.empty() ? "" : ": " + result.reason));
    m_driver.settle();
    // Several views matched: the person is told which one was pressed.
    if (result.candidates > 1 && result.target)
        m_out << "note: tapped " << pf::Driver::describe(*result.target) << ", one of " << result.candidates << " views " << among << "\n";
    return true;
}

std::shared_ptr<pf::TableView> CommandInterpreter::topmostTable(std::string* whyNone) const
{
    auto tables = m_driver.findAll([](const pf::View& v) { return dynamic_cast<const pf::TableView*>(&v) != nullptr; });
    std::string why = tables.empty() ? "no table is shown" : "";
    for (auto it = tables.rbegin(); it != tables.rend(); ++it) {
        auto reach = m_driver.reach(*it);
        if (reach)
            return std::static_pointer_cast<pf::TableView>(*it);
        if (why.empty())
            why = reach.reason;
    }
    if (whyNone)
        *whyNone = why;
    return nullptr;
}

bool CommandInterpreter::tapRow(int section, int row)
{
    std::string why;
    auto table = topmostTable(&why);
    if (!table)
        return fail("cannot tap row " + std::to_string(section) + ":" + std::to_string(row) + ": " + why);
    if (section >= table->numberOfSections() || row >= table->numberOfRowsInSection(section))
        return fail("the table has no row " + std::to_string(section) + ":" + std::to_string(row));
    pf::IndexPath path { section, row };
    if (!table->cellForRowAtIndexPath(path)) {
        table->scrollToRowAtIndexPath(path, pf::TableViewScrollPosition::Middle, false);
        m_driver.settle();
    }
    auto result = m_driver.tapRow(table, path);
    if (!result)
        return fail("cannot tap row " + std::to_string(section) + ":" + std::to_string(row) + ": " + result.reason);
    return true;
}

bool CommandInterpreter::editField(const std::string& fieldName, const std::string& text)
{
    // The frontmost shown field with that placeholder or outlet name.
    std::shared_ptr<pf::TextField> field;
    for (auto& view : m_driver.findAll([&](const pf::View& v) {
             auto f = dynamic_cast<const pf::TextField*>(&v);
             return f && (f->placeholder() == fieldName || f->outletName() == fieldName);
         })) {
        field = std::static_pointer_cast<pf::TextField>(view);
    }
    if (!field) {
        // A field of a web page, by its name, id or placeholder.
        if (m_driver.fillPageField(fieldName, text))
            return true;
        return fail("no field " + quoted(fieldName));
    }
    auto result = text.empty() ? m_driver.clearText(field) : m_driver.typeText(field, text);
    if (!result)
        return fail((text.empty() ? "cannot empty " : "cannot type into ") + quoted(fieldName) + ": " + result.reason);
    return true;
}

bool CommandInterpreter::scrollBottom()
{
    std::string why;
    auto table = topmostTable(&why);
    if (!table)
        return fail("cannot scroll a table: " + why);
    // Flicks as a person does, until one comes to rest at the bottom.
    for (int i = 0; i < kMaxFlicks; ++i) {
        if (auto flick = m_driver.dragView(table, { 0, -300 }, { .duration = 0.1, .fling = true }); !flick)
            return fail("cannot flick the table: " + flick.reason);
        passTime(3);
        if (table->contentOffset().y + table->frame().size.height + 1 >= table->contentSize().height
            || table->contentOffset().y >= table->maxContentOffset().y)
            return true;
    }
    return fail("the table did not reach its bottom");
}

bool CommandInterpreter::pull()
{
    std::string why;
    auto table = topmostTable(&why);
    if (!table)
        return fail("cannot pull a table: " + why);
    table->setContentOffset(table->minContentOffset());
    m_driver.settle();
    if (auto pulled = m_driver.pullDownAndRelease(table, 150); !pulled)
        return fail("cannot pull the table: " + pulled.reason);
    passTime(0.5);
    return true;
}

bool CommandInterpreter::back()
{
    // The menu button sits where a back button would; it is not one.
    std::shared_ptr<pf::View> menuButton;
    if (auto container = menuContainer()) {
        auto navigation = std::dynamic_pointer_cast<pf::NavigationController>(container->rootViewController());
        if (navigation && !navigation->viewControllers().empty()) {
            if (auto item = navigation->viewControllers().front()->navigationItem().leftBarButtonItem())
                menuButton = item->customView();
        }
    }
    auto bars = m_driver.findAll([](const pf::View& v) { return dynamic_cast<const pf::NavigationBar*>(&v) != nullptr; });
    for (auto it = bars.rbegin(); it != bars.rend(); ++it) {
        auto bar = std::static_pointer_cast<pf::NavigationBar>(*it);
        std::shared_ptr<pf::View> target;
        if (auto left = bar->leftView(); left && left != menuButton && m_driver.isVisible(*left))
            target = left;
        else if (auto button = bar->backButton(); button && m_driver.isVisible(*button))
            target = button;
        if (!target)
            continue;
        auto result = m_driver.tap(target);
        if (!result)
            return fail("cannot tap the back button: " + result.reason);
        passTime(pf::NavigationController::TransitionDuration);
        return true;
    }
    return fail("there is no back button");
}

bool CommandInterpreter::wait(double seconds)
{
    auto& loop = pf::RunLoop::main();
    if (!loop.hasManualClock()) {
        passTime(seconds); // real time: replies come in as it passes
        return true;
    }
    // A person waiting that long sees the replies that arrive meanwhile. A reply takes real
    // time and no virtual time, so the clock stops at every due timer and at the end while what
    // is on its way comes in, the waits together taking no more real time than the person's.
    using namespace std::chrono;
    const auto realTime = duration_cast<steady_clock::duration>(duration<double>(std::min(seconds, kIdleTimeout)));
    const auto realDeadline = steady_clock::now() + realTime;
    auto stop = [this] { return stopping(); };
    auto letRepliesIn = [&] {
        double left = duration<double>(realDeadline - steady_clock::now()).count();
        loop.waitUntilIdle(std::max(0.0, left), nullptr, stop);
    };
    const double target = loop.monotonicNow() + seconds;
    for (;;) {
        letRepliesIn();
        if (stopping())
            return true;
        double next = loop.nextDueIn();
        if (next < 0 || next > target - loop.monotonicNow())
            break;
        loop.advanceBy(next);
    }
    loop.advanceBy(std::max(0.0, target - loop.monotonicNow()));
    m_driver.settle();
    return true;
}

bool CommandInterpreter::idle()
{
    bool leftRunning = false;
    bool quiet = pf::RunLoop::main().waitUntilIdle(kIdleTimeout, &leftRunning, [this] { return stopping(); });
    m_driver.settle();
    if (stopping())
        return true;
    if (!quiet)
        return fail("requests still in flight after " + std::to_string(static_cast<int>(kIdleTimeout)) + " seconds");
    if (leftRunning) {
        // The replies are all in; what goes on is the screen's own (a page that never rests).
        // A script goes on, but a person reading the dump should know that it may still change.
        m_out.flush();
        m_notes << "quorvane: idle: the screen still had work ready a second after its replies were in; it was left running\n";
        m_notes.flush();
    }
    return true;
}

bool CommandInterpreter::pasteboard()
{
    auto text = pf::Pasteboard::general()->string();
    m_out << text.value_or("") << "\n";
    return true;
}

bool CommandInterpreter::received()
{
    if (!m_vendorApps)
        return fail("no stand-in apps are installed");
    m_out << m_vendorApps->describeReceived();
    return true;
}

bool CommandInterpreter::menu()
{
    auto container = menuContainer();
    if (!container)
        return fail("the app shows no side menu");
    auto navigation = std::dynamic_pointer_cast<pf::NavigationController>(container->rootViewController());
    auto first = navigation && !navigation->viewControllers().empty() ? navigation->viewControllers().front() : container->rootViewController();
    auto item = first ? first->navigationItem().leftBarButtonItem() : nullptr;
    auto button = item ? item->customView() : nullptr;
    if (!button || !m_driver.isVisible(*button))
        return fail("the menu button is not shown");
    auto result = m_driver.tap(button);
    if (!result)
        return fail("cannot tap the menu button: " + result.reason);
    passTime(kSlideSettleTime);
    return true;
}

bool CommandInterpreter::drag(int distance, bool fling)
{
    auto container = menuContainer();
    auto centre = container && container->rootViewController() ? container->rootViewController()->viewIfLoaded() : nullptr;
    if (!centre)
        return fail("the app shows no side menu");
    double duration = fling ? kFlingDuration : std::max(0.1, std::abs(distance) / kSlowDragSpeed);
    auto result = m_driver.dragView(centre, { static_cast<double>(distance), 0 }, { .duration = duration, .fling = fling });
    if (!result)
        return fail("cannot drag the screen: " + result.reason);
    passTime(kSlideSettleTime);
    return true;
}

bool CommandInterpreter::tapImage(const std::string& name)
{
    auto result = m_driver.tapImage(name);
    if (!result)
        return fail("cannot tap the image " + quoted(name) + ": " + result.reason);
    return true;
}

bool CommandInterpreter::help(const std::string& name)
{
    if (name.empty()) {
        m_out << "Commands (a word with blanks goes in double quotes):\n" << CommandTable::help();
        return true;
    }
    auto forms = CommandTable::help(name);
    if (!forms) {
        std::string near = CommandTable::nearest(name);
        return fail("no command " + name + (near.empty() ? "" : "; did you mean " + near + "?"));
    }
    m_out << *forms;
    return true;
}

namespace {

// The navigation controller the person sees: the app's root or the first one held below it
// (the centre of a container).
std::shared_ptr<pf::NavigationController> shownNavigationController(const std::shared_ptr<pf::ViewController>& controller)
{
    if (!controller)
        return nullptr;
    if (auto navigation = std::dynamic_pointer_cast<pf::NavigationController>(controller))
        return navigation;
    for (const auto& child : controller->childViewControllers()) {
        if (auto navigation = shownNavigationController(child))
            return navigation;
    }
    return nullptr;
}

}

bool CommandInterpreter::openMyGifts()
{
    auto navigation = shownNavigationController(shownRootController());
    if (!navigation)
        return fail("no navigation controller is shown");
    // Opening the screen is no touch, but the app must be on the screen to show it.
    if (auto shown = m_driver.reach(navigation->view()); shown.outcome == pf::TouchResult::Outcome::NotVisible)
        return fail("cannot open my gifts: " + shown.reason);
    navigation->pushViewController(std::make_shared<MyGiftsViewController>(), true);
    passTime(pf::NavigationController::TransitionDuration);
    return true;
}
