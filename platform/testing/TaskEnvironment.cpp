#include "platform/testing/TaskEnvironment.h"

#include "platform/foundation/AppRegistry.h"
#include "platform/foundation/Application.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/CookieStorage.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/Reachability.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/UrlCache.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/foundation/UserDefaults.h"

#include <cstdio>
#include <cstdlib>

namespace pf {

TaskEnvironment::TaskEnvironment(double start)
{
    auto& loop = RunLoop::main();
    loop.bindToCurrentThread();
    loop.reset();
    Clock::shared().useManualTime(start);
    NotificationCenter::defaultCenter().removeAll();

    Bundle::setMain(nullptr); // read afresh: a test may have changed the last one's info
    m_sandbox = Sandbox::createTemporary();
    Sandbox::setCurrent(m_sandbox);
    UserDefaults::resetStandard();
    CookieStorage::shared().removeAll();
    UrlCache::shared().resetCount();
    Reachability::setOverride(Reachability::Status::ViaWiFi);
    Reachability::setNotifiersAvailable(true);
    Device::current().resetToDefaults();
    DateFormatter::setLocalTimeZone(kTimeZone);
    Pasteboard::resetAll();
    AppRegistry::shared().removeAll();
    Application::shared().reset();
    ResetRegistry::resetAll();
    loop.runUntilIdle();
}

TaskEnvironment::~TaskEnvironment()
{
    auto& loop = RunLoop::main();
    if (!loop.waitUntilIdle(kHangGuardSeconds)) {
        // Work still under way (a reply or a queued job that never came back) means the test
        // ended before what it started: that is a fault of the test or of the code under it.
        std::fprintf(stderr, "TaskEnvironment: the test ended with %d operations still pending\n", loop.pendingWork());
        std::abort();
    }
    // A load the test left running must not report into (or hold up) the next test.
    UrlConnection::cancelAll();
    loop.reset();
    NotificationCenter::defaultCenter().removeAll();

    Application::shared().reset();
    AppRegistry::shared().removeAll();
    Pasteboard::forgetUnsaved();
    UserDefaults::resetStandard();
    Sandbox::setCurrent(nullptr);
    m_sandbox.reset();
}

void TaskEnvironment::runUntilIdle()
{
    RunLoop::main().runUntilIdle();
}

void TaskEnvironment::fastForwardBy(double seconds)
{
    RunLoop::main().advanceBy(seconds);
}

bool TaskEnvironment::runUntil(const std::function<bool()>& done, double timeout)
{
    return RunLoop::main().runUntil(done, timeout);
}

bool TaskEnvironment::waitForPendingWork(double timeout)
{
    return RunLoop::main().waitUntilIdle(timeout);
}

}
