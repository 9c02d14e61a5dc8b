#include "app/Simulator.h"

#include "app/CommandInterpreter.h"
#include "app/CommandTable.h"
#include "app/HomeLock.h"
#include "app/LineEditor.h"
#include "app/QuorvaneAppDelegate.h"
#include "app/VendorApps.h"
#include "core/AppInfoConfiguration.h"
#include "core/NetworkRequestor.h"
#include "platform/foundation/Application.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/HostTable.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/TerminationSignal.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/UIEnvironment.h"
#include "platform/ui/Window.h"
#include "screens/menu/RootViewController.h"

#include <cmath>
#include <csignal>
#include <iostream>
#include <istream>
#include <ostream>
#include <unistd.h>

namespace {

constexpr const char* kPrompt = "quorvane> ";
// The greeting names the device shown ("phone" or "tablet").
std::string greeting(const char* device)
{
    return std::string("Quorvane on a simulated ") + device
        + ": the screen is shown as text, after every command that\n"
          "changes it. Type help for the commands (Tab completes them and the texts to tap), quit to leave.\n";
}
// How long a typed command's requests may take before the screen is shown without their replies.
constexpr double kRepliesSeconds = 5;

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

void Simulator::stopOnSignals()
{
    std::weak_ptr<bool> weakStopped = m_stopped;
    pf::TerminationSignal::watch({ SIGINT, SIGTERM, SIGHUP }, [weakStopped](int) {
        if (auto stopped = weakStopped.lock())
            *stopped = true;
    });
}

bool Simulator::start(std::string* error)
{
    std::string reason;
    // Before the home is read or written: another simulator on it would write its own copy of
    // the settings over this one's, and this one over the other's.
    if (!m_options.home.empty() && !HomeLock::holdForThisProcess(m_options.home, &reason)) {
        if (error)
            *error = "cannot use " + m_options.home + " as the device's home: " + reason;
        return false;
    }

    auto& loop = pf::RunLoop::main();
    loop.bindToCurrentThread();
    bool interactive = !m_options.script && isatty(STDIN_FILENO);
    if (m_options.effectiveClock(interactive) == SimulatorOptions::ClockKind::Manual)
        pf::Clock::shared().useManualTime(std::floor(pf::SystemClock().now()));
    else
        pf::Clock::shared().useSystemTime();

    m_sandbox = m_options.home.empty() ? pf::Sandbox::createTemporary() : pf::Sandbox::atPath(m_options.home, &reason);
    if (!m_sandbox) {
        // Every booking and setting of the session would be lost without a word.
        if (error)
            *error = "cannot use " + m_options.home + " as the device's home: " + reason;
        return false;
    }
    pf::Sandbox::setCurrent(m_sandbox);

    auto& device = pf::Device::current();
    if (m_options.device == SimulatorOptions::Device::Pad) {
        device.setIdiom(pf::Device::Idiom::Tablet);
        device.setScreenSize(kPadWidth, kPadHeight);
    } else {
        device.setIdiom(pf::Device::Idiom::Phone);
    }
    if (!m_options.systemVersion.empty())
        device.setSystemVersion(m_options.systemVersion);
    pf::UIEnvironment::reset();

    auto config = AppInfoConfiguration::sharedInstance();
    if (!m_options.portal.empty()) {
        config->setApiBaseURL(m_options.portal);
        config->setHomePageURL(SimulatorOptions::rootOf(m_options.portal));
    }
    if (!m_options.forum.empty())
        config->setForumBaseURL(m_options.forum);
    if (!m_options.peers.empty())
        pf::HostTable::pointAllAt(m_options.peers);

    m_vendorApps = std::make_shared<VendorApps>();
    m_vendorApps->install(m_options.vendorApps);

    watchPortalFailures();
    m_window = launch();
    return true;
}

void Simulator::watchPortalFailures()
{
    m_portalFailureTold = std::make_shared<bool>(false);
    std::weak_ptr<bool> weakTold = m_portalFailureTold;
    // The advice is for an address that is not the API's; a dead port or an oversized reply at
    // the right address is not mended by adding "api/".
    bool advise = !AppInfoConfiguration::sharedInstance()->apiBaseURL().ends_with("api/");
    pf::NotificationCenter::defaultCenter().addObserver(m_portalFailureTold, NetworkRequestor::kRequestFailedNotification,
        [weakTold, advise](const pf::Notification& notification) {
            auto told = weakTold.lock();
            if (!told || *told)
                return;
            *told = true;
            const pf::Value& info = notification.userInfo;
            std::string url = info["url"].asString() ? *info["url"].asString() : std::string();
            auto status = info["status"].asInteger().value_or(0);
            auto code = info["code"].asInteger().value_or(0);
            std::string error = info["error"].asString() ? *info["error"].asString() : std::string();
            std::string what;
            if (status)
                what = "the portal answered HTTP " + std::to_string(status) + " to " + url;
            else if (code == pf::UrlError::DataLengthExceedsMaximum)
                what = "the portal's reply to " + url + " was refused: it is larger than "
                    + std::to_string(NetworkRequestor::kMaximumReplySize / (1024 * 1024)) + " MB";
            else
                what = "no portal answers at " + url + (error.empty() ? "" : ": " + error);
            std::cerr << "quorvane: " << what << (advise ? " (--portal takes the portal's API address, ending in \"api/\")" : "")
                      << std::endl;
        });
}

std::shared_ptr<pf::Window> Simulator::launch()
{
    auto delegate = std::make_shared<QuorvaneAppDelegate>();
    auto& application = pf::Application::shared();
    application.setDelegate(delegate);
    application.finishLaunching();
    pf::Driver().settle();
    return delegate->window();
}

std::shared_ptr<pf::Window> Simulator::showFirstScreen()
{
    auto delegate = std::make_shared<QuorvaneAppDelegate>();
    delegate->fetchRootViewController();
    auto window = std::make_shared<pf::Window>(pf::Screen::main().bounds());
    window->setRootViewController(delegate->rootViewController());
    window->makeKeyAndVisible();
    pf::Driver().settle();
    return window;
}

std::function<bool()> Simulator::endingWhen(const std::ostream& out) const
{
    // An output that failed (a reader gone, a full disk) takes nothing more the run would print:
    // the run is over at the first write that fails, not after the rest of its commands.
    return [stopped = m_stopped, &out] { return *stopped || out.bad(); };
}

int Simulator::run(std::istream& in, std::ostream& out, bool interactive)
{
    CommandInterpreter interpreter(out);
    interpreter.setVendorApps(m_vendorApps);
    interpreter.setStopWhen(endingWhen(out));
    std::string line;
    while (!interpreter.quitRequested()) {
        if (interactive)
            out << kPrompt << std::flush;
        if (!std::getline(in, line))
            break;
        interpreter.execute(line);
        out.flush();
    }
    if (interactive)
        out << "\n";
    return interpreter.failures() ? 1 : 0;
}

int Simulator::runInteractive(std::ostream& out)
{
    CommandInterpreter interpreter(out);
    interpreter.setExplaining(true);
    interpreter.setVendorApps(m_vendorApps);
    interpreter.setStopWhen(endingWhen(out));
    auto& loop = pf::RunLoop::main();
    auto turnLoop = [&loop] {
        if (loop.hasManualClock())
            loop.runPending();
        else
            loop.runUntil([] { return false; }, 0.02);
    };
    // What a command asked the portal for, before the screen is shown again. Replies take real
    // time on either clock; the wait moves no manual time, so timers still to come stay to come.
    auto awaitReplies = [&] {
        loop.waitUntilIdle(kRepliesSeconds, nullptr, [&interpreter] { return interpreter.quitRequested(); });
        interpreter.driver().settle();
    };

    out << greeting(m_options.device == SimulatorOptions::Device::Pad ? "tablet" : "phone") << std::flush;
    awaitReplies();
    ScriptCommand dump;
    dump.kind = ScriptCommand::Kind::Dump;
    if (!interpreter.quitRequested())
        interpreter.execute(dump);

    LineEditor editor("quorvane", stdin, stdout, turnLoop);
    editor.setPrompt(kPrompt);
    editor.setWakeUp(pf::TerminationSignal::descriptor());
    editor.setCompleter([&interpreter](std::string_view before) {
        auto found = CommandTable::complete(before, interpreter.driver().visibleTexts());
        return LineEditor::Completion { found.start, std::move(found.candidates) };
    });
    while (!interpreter.quitRequested()) {
        out.flush();
        auto line = editor.readLine();
        if (!line)
            break;
        auto command = ScriptCommand::parse(*line);
        if (!command) {
            interpreter.execute(*line); // says what is wrong with it
            continue;
        }
        std::string before = interpreter.driver().dump();
        interpreter.execute(*command);
        if (interpreter.quitRequested() || command->kind == ScriptCommand::Kind::Dump)
            continue;
        // The whole screen, not the lines that changed: a changed line without the lines
        // around it does not say which row or screen it belongs to.
        awaitReplies();
        if (interpreter.driver().dump() != before)
            interpreter.execute(dump);
    }
    // The prompt's line ended; not when the terminal is the shell's again (a stopped program ended
    // by `kill %1`), whose own prompt is on it.
    if (::tcgetpgrp(STDIN_FILENO) == ::getpgrp())
        out << "\n";
    return interpreter.failures() ? 1 : 0;
}
