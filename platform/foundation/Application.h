#pragma once

#include "platform/foundation/ApplicationDelegate.h"
#include "platform/foundation/LocalNotification.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <string>
#include <string_view>

namespace pf {

class Url;

// The running app as the system sees it: its delegate, its state in the life cycle, and its
// way to other apps. Windows are not here; the UI layer keeps them.
//
// Rules:
// - Main thread only.
// - Each life-cycle step calls the delegate, then posts the matching notification (object
//   none, sender none), in the platform's order: resign active, enter background; enter
//   foreground, become active.
// - Steps that do not apply in the current state are ignored (entering the background twice
//   does nothing the second time).
class Application {
public:
    enum class State { NotRunning, Active, Inactive, Background };

    static constexpr const char* kDidFinishLaunchingNotification = "ApplicationDidFinishLaunchingNotification";
    static constexpr const char* kWillResignActiveNotification = "ApplicationWillResignActiveNotification";
    static constexpr const char* kDidEnterBackgroundNotification = "ApplicationDidEnterBackgroundNotification";
    static constexpr const char* kWillEnterForegroundNotification = "ApplicationWillEnterForegroundNotification";
    static constexpr const char* kDidBecomeActiveNotification = "ApplicationDidBecomeActiveNotification";
    static constexpr const char* kWillTerminateNotification = "ApplicationWillTerminateNotification";
    static constexpr const char* kDidReceiveMemoryWarningNotification = "ApplicationDidReceiveMemoryWarningNotification";

    static Application& shared();

    void setDelegate(std::shared_ptr<ApplicationDelegate> delegate) { m_delegate = std::move(delegate); }
    std::shared_ptr<ApplicationDelegate> delegate() const { return m_delegate; }
    State state() const { return m_state; }
    // This app's bundle identifier (the source of the URLs it opens).
    std::string bundleIdentifier() const;

    // Life cycle, driven by the simulator and tests.
    bool finishLaunching(const Dictionary& options = {});
    void enterBackground();
    void enterForeground();
    void terminate();
    void receiveMemoryWarning();
    // A local notification firing: the delegate hears of it on the main loop, after the caller
    // has returned (nothing when there is no delegate by then).
    void deliverLocalNotification(LocalNotification notification);

    // Other apps.
    bool canOpenURL(const Url& url) const;
    bool openURL(const Url& url);
    // The same for an address as text: text that is no legal URL opens nothing.
    bool canOpenURL(std::string_view address) const;
    bool openURL(std::string_view address);
    // An opened URL arriving for this app: handed to the delegate with the opening app's
    // identifier; answers what the delegate answers (false without one).
    bool deliverOpenURL(const Url& url, const std::string& sourceApplication);

    // Test set-up: no delegate, not running.
    void reset();

private:
    Application() = default;
    void post(const char* name);

    std::shared_ptr<ApplicationDelegate> m_delegate;
    State m_state { State::NotRunning };
};

}
