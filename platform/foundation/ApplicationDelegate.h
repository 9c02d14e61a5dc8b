#pragma once

#include "platform/foundation/Value.h"

#include <string>

namespace pf {

class Application;
class Url;
struct LocalNotification;

// What the app implements to hear from its application object. Every call comes on the main
// run loop; the defaults do nothing.
class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;

    virtual bool didFinishLaunching(Application&, const Dictionary& /*options*/) { return true; }
    // Another app (or the system) opened one of this app's URLs. Answer whether it was handled.
    virtual bool openURL(Application&, const Url& /*url*/, const std::string& /*sourceApplication*/) { return false; }
    virtual void willResignActive(Application&) { }
    virtual void didEnterBackground(Application&) { }
    virtual void willEnterForeground(Application&) { }
    virtual void didBecomeActive(Application&) { }
    virtual void willTerminate(Application&) { }
    virtual void didReceiveMemoryWarning(Application&) { }
    // A local notification fired while the app runs.
    virtual void didReceiveLocalNotification(Application&, const LocalNotification& /*notification*/) { }
};

}
