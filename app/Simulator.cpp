#include "app/Simulator.h"

#include "app/CommandInterpreter.h"
#include "core/AppInfoConfiguration.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/UIEnvironment.h"
#include "platform/ui/Window.h"
#include "screens/gifts/GiftCategoryViewController.h"
#include "screens/menu/LeftEntranceViewController.h"
#include "screens/menu/RootViewController.h"
#include "screens/mygifts/MyGiftsViewController.h"

#include <cmath>
#include <istream>
#include <ostream>
#include <sys/select.h>
#include <unistd.h>

namespace {

constexpr const char* kPrompt = "quorvane> ";

}

Simulator::Simulator(SimulatorOptions options)
    : m_options(std::move(options))
{
}

Simulator::~Simulator()
{
    if (m_window)
        m_window->setHidden(true);
    m_window.reset();
}

bool Simulator::start(std::string* error)
{
    auto& loop = pf::RunLoop::main();
    loop.bindToCurrentThread();
    bool interactive = !m_options.script && isatty(STDIN_FILENO);
    if (m_options.effectiveClock(interactive) == SimulatorOptions::ClockKind::Manual)
        pf::Clock::shared().useManualTime(std::floor(pf::SystemClock().now()));
    else
        pf::Clock::shared().useSystemTime();

    m_sandbox = m_options.home.empty() ? pf::Sandbox::createTemporary() : pf::Sandbox::atPath(m_options.home);
    if (!m_sandbox) {
        if (error)
            *error = "cannot use " + m_options.home + " as the device's home";
        return false;
    }
    pf::Sandbox::setCurrent(m_sandbox);

    auto& device = pf::Device::current();
    device.setIdiom(m_options.device == SimulatorOptions::Device::Pad ? pf::Device::Idiom::Tablet : pf::Device::Idiom::Phone);
    if (!m_options.systemVersion.empty())
        device.setSystemVersion(m_options.systemVersion);
    pf::UIEnvironment::reset();

    auto config = AppInfoConfiguration::sharedInstance();
    if (!m_options.portal.empty())
        config->setApiBaseURL(m_options.portal);
    if (!m_options.forum.empty())
        config->setForumBaseURL(m_options.forum);

    m_window = showFirstScreen();
    return true;
}

std::shared_ptr<pf::Window> Simulator::showFirstScreen()
{
    LeftEntranceViewController::setMyGiftsFactory([] { return std::make_shared<MyGiftsViewController>(); });
    auto category = std::make_shared<GiftCategoryViewController>();
    auto navigation = std::make_shared<pf::NavigationController>(category);
    auto root = std::make_shared<RootViewController>(navigation);
    auto window = std::make_shared<pf::Window>(pf::Screen::main().bounds());
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    pf::Driver().settle();
    return window;
}

int Simulator::run(std::istream& in, std::ostream& out, bool interactive)
{
    CommandInterpreter interpreter(out);
    std::string line;
    while (!interpreter.quitRequested()) {
        if (interactive)
            out << kPrompt << std::flush;
        if (!std::getline(in, line))
            break;
        interpreter.execute(line);
    }
    if (interactive)
        out << "\n";
    return interpreter.failures() ? 1 : 0;
}

int Simulator::runInteractive(std::ostream& out)
{
    CommandInterpreter interpreter(out);
    auto& loop = pf::RunLoop::main();
    std::string buffer;
    bool open = true;
    out << kPrompt << std::flush;
    while (open && !interpreter.quitRequested()) {
        // Keep the loop turning while the person types, so replies and animations go on.
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(STDIN_FILENO, &readable);
        timeval timeout { 0, 20'000 };
        int ready = select(STDIN_FILENO + 1, &readable, nullptr, nullptr, &timeout);
        if (ready <= 0) {
            if (loop.hasManualClock())
                loop.runPending();
            else
                loop.runUntil([] { return false; }, 0.02);
            continue;
        }
        char chunk[256];
        ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n <= 0) {
            open = false;
            if (!buffer.empty())
                interpreter.execute(buffer);
            break;
        }
        buffer.append(chunk, static_cast<size_t>(n));
        size_t newline;
        while ((newline = buffer.find('\n')) != std::string::npos && !interpreter.quitRequested()) {
            std::string line = buffer.substr(0, newline);
            buffer.erase(0, newline + 1);
            interpreter.execute(line);
            if (!interpreter.quitRequested())
                out << kPrompt << std::flush;
        }
    }
    out << "\n";
    return interpreter.failures() ? 1 : 0;
}
